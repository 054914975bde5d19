#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/s390x.sh    (as root)
# Every test of the default preset on s390x (64-bit, big-endian), with the build at this
# machine's speed: the program and its tests are built in a clean Debian 12 of this machine with
# Debian's cross compiler and its s390x libraries (the s390x preset, into build-s390x/), and
# tested in a clean Debian 12 of s390x made meanwhile, whose every program (the servers the tests start
# included) qemu-user runs: a Wayland compositor and its clients share one byte order, as on
# any real machine. This checkout is mounted in both (scripts/fresh-debian.sh --worktree).
set -euo pipefail
cd "$(dirname "$0")/.."
# The two systems are made side by side: the s390x one installs what the tests run on (minutes
# under the emulator) while the other builds, and its tests wait for the build's status. The
# build's output is printed as it ends.
status=build-s390x/cross-built
rm -f "$status" && mkdir -p build-s390x
built=$(mktemp)
trap 'rm -f "$built"' EXIT
(
    # The checkers the tests run are found at configure, so the build has them too, where the
    # s390x system has its own.
    bash scripts/fresh-debian.sh --cross s390x --worktree '
        bash scripts/install-deps.sh g++-s390x-linux-gnu pkgconf:s390x qt6-base-dev:s390x \
            libcanberra-dev:s390x libglib2.0-dev:s390x libxtst-dev:s390x desktop-file-utils \
            appstream
        cmake --preset s390x >/dev/null
        cmake --build --preset s390x' >"$built" 2>&1 || result=$?
    cat "$built"
    echo "${result:-0}" >"$status"
) &
tested=0
bash scripts/fresh-debian.sh --arch s390x --worktree \
    "KIPARANO_AWAIT_BUILD=$status ./test.sh --prebuilt s390x" || tested=$?
wait
exit $tested

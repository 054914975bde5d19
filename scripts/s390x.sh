#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/s390x.sh    (as root)
# Every test of the default preset on s390x (64-bit, big-endian), with the build at this
# machine's speed: the program and its tests are built in a clean Debian 12 of this machine with
# Debian's cross compiler and its s390x libraries (the s390x preset, into build-s390x/), then
# tested in a clean Debian 12 of s390x, whose every program (the servers the tests start
# included) qemu-user runs: a Wayland compositor and its clients share one byte order, as on
# any real machine. This checkout is mounted in both (scripts/fresh-debian.sh --worktree).
set -euo pipefail
cd "$(dirname "$0")/.."
# The checkers the tests run are found at configure, so the build has them too, where the
# s390x system has its own.
bash scripts/fresh-debian.sh --cross s390x --worktree '
    bash scripts/install-deps.sh g++-s390x-linux-gnu pkgconf:s390x qt6-base-dev:s390x \
        libcanberra-dev:s390x libglib2.0-dev:s390x libxtst-dev:s390x desktop-file-utils appstream
    cmake --preset s390x >/dev/null
    cmake --build --preset s390x'
bash scripts/fresh-debian.sh --arch s390x --worktree "./test.sh --prebuilt s390x"

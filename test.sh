#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Usage: ./test.sh [--prebuilt] [PRESET...]
# Checks the format and the licensing, then builds and runs every test (installing what is
# missing): once as usual, once under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# timer and window tests once more with the portable timer of macOS; or only the presets named
# (default, asan, portable, s390x). Every test runs: a test that skips, for want of a server it
# should have found here, fails the run with its reason.
# With --prebuilt, only the tests of builds made elsewhere, with what they need: the s390x
# preset's, cross-built, tested on s390x (scripts/s390x.sh does both).
set -euo pipefail
cd "$(dirname "$0")"
prebuilt=
[ "${1:-}" != --prebuilt ] || { prebuilt=1 && shift; }
# Weston and GNOME's Mutter (wl-clipboard reads its clipboard), Xvfb (with xprop, and xclip to
# read its clipboard), PulseAudio (with parec and pactl) and PipeWire (with WirePlumber and
# pipewire-pulse, as GNOME plays sound) are the real servers the tests run against,
# gsettings-desktop-schemas holds the switch for event sounds; libxtst-dev drives the X server as
# a user would; dbus-daemon and at-spi2-core give a private session and its accessibility bus,
# and Orca reads the window aloud; xfce4-settings' daemon keeps a clipboard when its owner
# leaves; gdb takes the stacks of a hung program (not under an emulator, which cannot trace);
# desktop-file-utils and appstream validate the desktop entry and the metainfo, man-db shows the
# manual pages; clang-format and reuse check the format and licensing.
servers=(weston xvfb x11-utils xclip pulseaudio pulseaudio-utils gsettings-desktop-schemas
    dbus-daemon at-spi2-core orca xfce4-settings desktop-file-utils appstream man-db python3)
if [ -z "$prebuilt" ]; then
    bash scripts/install-deps.sh "${servers[@]}" gdb mutter wl-clipboard pipewire pipewire-pulse \
        wireplumber libxtst-dev clang-format reuse
else # what the tests run on, not what built them; a cross build tests neither PipeWire nor Mutter
    bash scripts/install-deps.sh --only "${servers[@]}" cmake libqt6widgets6 libqt6dbus6 \
        libqt6test6 qt6-qpa-plugins qt6-wayland libcanberra0 libcanberra-pulse \
        sound-theme-freedesktop libxtst6
    # scripts/s390x.sh installs this while the build is made elsewhere: its status, once written.
    if [ -n "${KIPARANO_AWAIT_BUILD:-}" ]; then
        until [ -s "$KIPARANO_AWAIT_BUILD" ]; do sleep 5; done
        [ "$(cat "$KIPARANO_AWAIT_BUILD")" = 0 ] || { echo "the build failed" && exit 1; }
    fi
fi

if [ -z "$prebuilt" ]; then
    echo "== format and licensing"
    git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror
    reuse lint --quiet || { reuse lint | tail -n 20; exit 1; }
    echo "formatted ($(clang-format --version | grep -o 'version [0-9.]*')); REUSE compliant"
fi

for preset in ${*:-default asan portable}; do
    tree=$PWD/build$([ $preset = default ] || echo "-$preset")
    if [ -z "$prebuilt" ]; then
        echo "== $preset build"
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset"
    elif [ ! -f "$tree/CTestTestfile.cmake" ]; then
        echo "no $preset build in $tree to test" && exit 1
    fi
    junit=$tree/junit.xml
    ctest --preset "$preset" --output-junit "$junit"
    python3 - "$junit" <<'PY'
import sys, xml.etree.ElementTree as ET
skipped = [t for t in ET.parse(sys.argv[1]).getroot() if t.get("status") == "notrun"]
for test in skipped:
    said = (test.findtext("system-out") or "").strip().splitlines()
    print(f"{test.get('name')} was skipped; it said:\n    " + "\n    ".join(said[-8:]))
sys.exit(1 if skipped else 0)
PY
done

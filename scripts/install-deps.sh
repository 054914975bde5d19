#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Usage: install-deps.sh [--only] [PACKAGE...]
# Installs what building kiparano needs on Debian, if it is missing, and the further packages
# named as arguments; with --only, just those.
set -euo pipefail

# libcanberra and GIO play the desktop's bell sound, through libcanberra's PulseAudio driver and
# the freedesktop sound theme; qt6-wayland runs the window natively on Wayland.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libcanberra-dev libglib2.0-dev
    libcanberra-pulse sound-theme-freedesktop qt6-wayland)
if [ "${1:-}" = --only ]; then
    shift
    packages=()
fi
packages+=("$@")
look() { # what of the packages is missing, in missing[]
    missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
}
look
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# One install at a time: builds beside each other (the CI's legs, say) each install what they
# miss, and apt refuses a second apt-get while the first holds its locks. Ours waits for the
# other to end, then looks again at what is still missing; apt's own lock timeout covers an
# apt-get of someone else's.
lockfile=/tmp/kiparano-apt.lock
[ -e $lockfile ] || (umask 0 && : >$lockfile)
exec {lock}<$lockfile
flock "$lock"
look
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
wait=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${wait[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait[@]}" install -y -qq --no-install-recommends \
    "${missing[@]}"

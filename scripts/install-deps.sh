#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Installs what building kiparano needs on Debian, if it is missing, and the further packages
# named as arguments.
set -euo pipefail

# libcanberra and GIO play the desktop's bell sound, through libcanberra's PulseAudio driver and
# the freedesktop sound theme; qt6-wayland runs the window natively on Wayland;
# desktop-file-utils and appstream validate the desktop entry and the metainfo at configure time.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libcanberra-dev libglib2.0-dev
    libcanberra-pulse sound-theme-freedesktop qt6-wayland desktop-file-utils appstream "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

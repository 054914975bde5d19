#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Installs what building and testing kiparano needs on Debian, if it is missing, and the
# further packages named as arguments.
set -euo pipefail

# libcanberra and GIO play the desktop's bell sound; qt6-wayland, Weston, Xvfb and PulseAudio
# (with libcanberra's driver for it and the sound theme) are the real servers the tests run
# against; desktop-file-utils and appstream validate the desktop entry and the metainfo;
# faketime lets a test move the wall clock under a running program; clang-format and reuse
# check the format and the licensing.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libcanberra-dev libglib2.0-dev
    qt6-wayland weston xvfb xauth x11-utils pulseaudio pulseaudio-utils libcanberra-pulse
    sound-theme-freedesktop gsettings-desktop-schemas desktop-file-utils appstream faketime
    clang-format reuse "$@")
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

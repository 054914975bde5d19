#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: world.sh [--bus|--no-bus-address] COMMAND...
# Runs COMMAND in a world of its own: a fresh home and runtime folder, and none of the user's
# display, compositor, sound server (nor one started for it), accessibility bus, session bus or
# desktop settings (GSettings from memory, unless the test names another backend), so that a
# test run from one's own desktop session neither shows, sounds nor is read aloud there. With
# --bus it gets a private session bus (dbus-run-session); without, the session bus address leads
# nowhere, as where no bus runs at all, and libdbus never autolaunches one; with
# --no-bus-address no address is set at all, as in a bare X session, where libdbus tries to
# autolaunch one through X. The world is removed afterwards.
set -u
world=$(mktemp -d)
mkdir -m 700 "$world/home" "$world/run"
# Its folders named outright: some programs (Mesa's shader cache, for one, which Mutter fills)
# look for the user's home in the password database, not in HOME.
export HOME=$world/home XDG_RUNTIME_DIR=$world/run XDG_CONFIG_HOME=$world/home/.config \
    XDG_CACHE_HOME=$world/home/.cache XDG_DATA_HOME=$world/home/.local/share
unset DISPLAY XAUTHORITY WAYLAND_DISPLAY PIPEWIRE_REMOTE AT_SPI_BUS_ADDRESS SESSION_MANAGER
export PULSE_SERVER=unix:$world/run/no-sound # until a test starts its own: never autospawned
export GSETTINGS_BACKEND=${GSETTINGS_BACKEND:-memory} # the desktop's settings, not the user's
if [ "${1:-}" = --bus ]; then
    shift
    dbus-run-session -- "$@"
elif [ "${1:-}" = --no-bus-address ]; then
    shift
    unset DBUS_SESSION_BUS_ADDRESS
    "$@"
else
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$world/run/no-bus
    "$@"
fi
status=$?
rm -rf "$world"
exit $status

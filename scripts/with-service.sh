#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: with-service.sh pulseaudio|weston COMMAND...
# Starts a private sound server (PulseAudio with a null sink named "kiparano") or Wayland
# compositor (Weston, headless) in a fresh runtime folder, runs COMMAND against it, with the
# server's process id in SERVICE_PID, and stops it again. Exits 77, which CTest reports as a
# skip, when the server cannot start at all.
set -u
service=$1
shift
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
case $service in
pulseaudio)
    socket=$runtime/pulse.sock
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --log-target=stderr \
        --load="module-null-sink sink_name=kiparano" \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" 2>"$runtime/log" &
    export PULSE_SERVER=unix:$socket
    ;;
weston)
    socket=$runtime/wayland-kiparano
    weston --backend=headless-backend.so --socket=wayland-kiparano --idle-time=0 \
        --log="$runtime/log" &
    export WAYLAND_DISPLAY=wayland-kiparano QT_QPA_PLATFORM=wayland
    ;;
*)
    echo "unknown service $service" >&2
    exit 2
    ;;
esac
server=$!
for _ in $(seq 100); do
    [ -S "$socket" ] && break
    kill -0 $server 2>/dev/null || break
    sleep 0.05
done
if [ ! -S "$socket" ]; then
    echo "SKIP: $service could not start:" >&2
    tail -n 5 "$runtime/log" >&2
    kill $server 2>/dev/null
    rm -rf "$runtime"
    exit 77
fi
SERVICE_PID=$server "$@"
status=$?
kill $server
wait $server 2>/dev/null
rm -rf "$runtime"
exit $status

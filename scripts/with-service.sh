#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: with-service.sh xvfb|pulseaudio|pipewire|pipewire-unmanaged|weston|mutter|orca|
#                        xfsettingsd COMMAND...
# Starts, in a fresh runtime folder, a private X server (Xvfb, its screen XVFB_SCREEN or
# 800x600x24), sound server (PulseAudio with a null sink named "kiparano"; or PipeWire as GNOME
# runs it, with WirePlumber, its session manager, and pipewire-pulse, which PulseAudio's clients
# talk to, on the same null sink; pipewire-unmanaged is PipeWire without its session manager),
# Wayland compositor (Weston, headless, with no seat; or GNOME's Mutter, headless on a virtual
# monitor, which needs a session bus, and whose seat takes keys from its remote desktop), screen
# reader (Orca, on the session's accessibility bus, with no synthesizer: it logs what it would
# say) or clipboard manager (Xfce's settings daemon, on X), runs COMMAND against it, with the
# server's process id in SERVICE_PID (the one a sound server's clients talk to), its log in
# SERVICE_LOG and, for a sound server, what it logs for each sound played in SERVICE_PLAYED, and
# stops it again, also when interrupted; one that ended before then has its log's last lines
# printed (a crash's report among them). A server has two minutes to start, however slow the
# machine; exits 77, which CTest reports as a skip, when it cannot start at all. Nothing of the
# user's own session is used or touched: a test may run from one's own desktop, screen reader on.
set -u
service=$1
shift
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
log=$runtime/log
case $service in
xvfb)
    # On the first display free on this machine: Xvfb tries each number in turn and says which
    # it listens on. X servers of builds beside this one, in roots of their own that show none
    # of their lock files, still hold their display's abstract socket, which xvfb-run -a would
    # take for free.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "${XVFB_SCREEN:-800x600x24}" -dpi 96 \
        3>"$runtime/display" 2>"$log" &
    ready() { [ -s "$runtime/display" ]; }
    ;;
pulseaudio)
    socket=$runtime/pulse.sock
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --log-target=stderr \
        --log-level=info \
        --load="module-null-sink sink_name=kiparano" \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" 2>"$log" &
    export PULSE_SERVER=unix:$socket SERVICE_PLAYED="Created input"
    ready() { [ -S "$socket" ]; }
    ;;
pipewire | pipewire-unmanaged)
    # As a desktop's user services run them: all three are started again when pipewire-pulse
    # ends, as their sockets would start them. It logs at the level that names each sound played.
    mkdir -p "$runtime/config/pipewire/pipewire.conf.d"
    cat >"$runtime/config/pipewire/pipewire.conf.d/kiparano.conf" <<'CONF'
context.objects = [
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = kiparano
               media.class = Audio/Sink audio.position = [ FL FR ] } }
]
CONF
    (
        trap 'kill $(jobs -p) 2>/dev/null; exit' TERM
        while :; do
            XDG_CONFIG_HOME=$runtime/config pipewire &
            until [ -S "$runtime/pipewire-0" ]; do sleep 0.05; done
            [ $service = pipewire-unmanaged ] || wireplumber &
            PIPEWIRE_DEBUG=3 pipewire-pulse &
            wait $!
            kill $(jobs -p) 2>/dev/null
            wait
            rm -f "$runtime/pipewire-0"
        done
    ) >"$log" 2>&1 &
    socket=$runtime/pulse/native
    export PULSE_SERVER=unix:$socket SERVICE_PLAYED="PLAY_SAMPLE done"
    ready() { # once the session manager has made the null sink the default one
        [ -S "$socket" ] && { [ $service = pipewire-unmanaged ] ||
            [ "$(pactl get-default-sink 2>/dev/null)" = kiparano ]; }
    }
    ;;
weston)
    socket=$runtime/wayland-kiparano
    weston --backend=headless-backend.so --socket=wayland-kiparano --idle-time=0 --log="$log" &
    export WAYLAND_DISPLAY=wayland-kiparano QT_QPA_PLATFORM=wayland
    ready() { [ -S "$socket" ]; }
    ;;
mutter)
    # GNOME's compositor, headless on a virtual monitor, Wayland alone; on the session bus, where
    # its remote desktop service gives the seat a keyboard once a client types through it. Its
    # keys do not repeat: a test's key, held while a busy machine delivers its release, is typed
    # once, as it was meant.
    mkdir -p "$runtime/config/glib-2.0/settings"
    printf '[org/gnome/desktop/peripherals/keyboard]\nrepeat=false\n' \
        >"$runtime/config/glib-2.0/settings/keyfile"
    GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=$runtime/config \
        mutter --headless --wayland --no-x11 --virtual-monitor 1024x768 \
        --wayland-display=wayland-kiparano >"$log" 2>&1 &
    export WAYLAND_DISPLAY=wayland-kiparano QT_QPA_PLATFORM=wayland
    ready() { [ -S "$runtime/wayland-kiparano" ]; }
    ;;
orca)
    # Orca's debug log is block-buffered but for a terminal: script gives it one, and copies
    # each line to the log as it comes. Speech is on, as a user has it, but no speech server is
    # started for it (SPEECHD_CMD): Orca logs what it would say. Orca 43 says it is ready before
    # its event loop starts, Orca 48 as it starts; its listeners are registered by then.
    # Orca refuses to start beside another Orca of the same user (the user's own, or another
    # test's): it runs in a process namespace of its own, where it sees none, and a user
    # namespace where the user is not root. Its bus is the test's.
    namespace=(unshare --pid --fork --kill-child --mount-proc)
    [ "$(id -u)" -eq 0 ] || namespace+=(--user --map-current-user)
    SPEECHD_CMD=/bin/false "${namespace[@]}" script -qfec \
        "orca --enable=speech --debug-file=/dev/stdout -u $runtime/orca" /dev/null >"$log" 2>&1 &
    ready() { grep -q -E "ORCA: (Startup complete|Starting Atspi main event loop)" "$log"; }
    ;;
xfsettingsd)
    # Its clipboard manager owns CLIPBOARD_MANAGER once xfconfd, started on the session bus, has
    # answered: the test waits for that.
    xfsettingsd --disable-wm-check --sm-client-disable >"$log" 2>&1 &
    ready() { true; }
    ;;
*)
    echo "unknown service $service" >&2
    exit 2
    ;;
esac
server=$!
stop() { # the server, and all it left running
    kill $server 2>/dev/null
    # Orca's namespace ends with its first process, which its unshare outside waits for.
    [ "$service" != orca ] || pkill -KILL -P $server
    wait $server 2>/dev/null
    pkill -KILL -f "$runtime"
    rm -rf "$runtime"
}
trap 'stop; exit 130' INT TERM HUP
for _ in $(seq 1200); do
    ready && break
    kill -0 $server 2>/dev/null || break
    sleep 0.05
done
if ! ready; then
    echo "SKIP: $service could not start:" >&2
    tail -n 5 "$log" >&2
    stop
    exit 77
fi
[ "$service" != xvfb ] || export DISPLAY=:$(cat "$runtime/display")
[ ! -s "$runtime/pulse/pid" ] || server_pid=$(cat "$runtime/pulse/pid") # pipewire-pulse
SERVICE_PID=${server_pid:-$server} SERVICE_LOG=$log "$@" &
command=$!
trap 'kill $command 2>/dev/null; wait $command; stop; exit 130' INT TERM HUP
wait $command
status=$?
if ! kill -0 $server 2>/dev/null; then # ended before its time (a crash, or a test's doing)
    echo "with-service.sh: $service ended during the test; its log ends:" >&2
    tail -n 40 "$log" >&2
fi
stop
exit $status

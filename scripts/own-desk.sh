#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/own-desk.sh USE TEST...    (as root, in a clean system: scripts/fresh-debian.sh)
# Runs the commands as a contributor at their own desk: a user who is not root, with sudo for
# the installs, in a clone of their own, while their own session runs, as a blind contributor's
# always does: an X server with a window manager, a session bus, PulseAudio and Orca. USE
# builds the program, which they then open on their display: their Orca must be heard reading
# its window.
# The TESTs must then leave that session as they found it: the same processes, nothing more said
# by their Orca of the program, nothing more played by their sound server, and, in their home, no
# file owned by root and none changed outside the clone. Stops at the first command that fails.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "own-desk.sh: run as root" >&2; exit 2; }
user=desk
bash scripts/install-deps.sh --only sudo procps xvfb xfwm4 dbus-daemon at-spi2-core pulseaudio \
    orca
id $user >/dev/null 2>&1 || useradd --create-home --shell /bin/bash $user
echo "$user ALL=(ALL) NOPASSWD: ALL" >/etc/sudoers.d/$user
home=/home/$user runtime=/run/user/$(id -u $user)
rm -rf "$home/kiparano" && cp -a . "$home/kiparano" && chown -R $user: "$home/kiparano"
mkdir -p "$runtime" && chown $user: "$runtime" && chmod 700 "$runtime"
as_user() {
    runuser -u $user -- env -i HOME="$home" USER=$user LOGNAME=$user LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/bin:/usr/bin:/bin XDG_RUNTIME_DIR="$runtime" DISPLAY=:5 \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" CI="${CI:-}" \
        ${CMAKE_C_COMPILER_LAUNCHER:+CMAKE_C_COMPILER_LAUNCHER=$CMAKE_C_COMPILER_LAUNCHER} \
        ${CMAKE_CXX_COMPILER_LAUNCHER:+CMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} "$@"
}
awaited() { # whether the check holds within two minutes
    for _ in $(seq 1200); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
starts() {
    awaited "$1" && return
    echo "own-desk.sh: the session did not start: $1" >&2 && tail -n 5 "$runtime"/*.log >&2
    exit 1
}

# The session, each part in a process session of its own, as a desktop starts them. Orca's log
# is line-buffered only on a terminal, which script gives it.
as_user setsid Xvfb :5 -nolisten tcp -screen 0 1024x768x24 >"$runtime/x.log" 2>&1 &
starts '[ -S /tmp/.X11-unix/X5 ]'
as_user setsid dbus-daemon --session --nofork --address="unix:path=$runtime/bus" \
    >"$runtime/bus.log" 2>&1 &
starts '[ -S "$runtime/bus" ]'
as_user setsid xfwm4 --compositor=off --sm-client-disable >"$runtime/wm.log" 2>&1 &
as_user setsid pulseaudio --daemonize=no --exit-idle-time=-1 --log-target=stderr \
    --log-level=info >"$runtime/pulse.log" 2>&1 &
starts '[ -S "$runtime/pulse/native" ]'
as_user setsid script -qfec "orca --debug-file=/dev/stdout" /dev/null >"$runtime/orca.log" 2>&1 &
starts 'grep -a -q -E "ORCA: (Startup complete|Starting Atspi main event loop)" "$runtime/orca.log"'
session() { ps -u $user -o pid=,lstart=,comm= | grep -E ' (Xvfb|dbus-daemon|xfwm4|pulseaudio|orca)$'; }
started=$(session)
echo "own-desk.sh: $user's session runs:" && echo "$started"
said() { grep -a -c -E "SPEECH OUTPUT: .*(ミヴォレタ|予想|ロト|Numbers)" "$runtime/orca.log" || true; }
played() { # sounds other than their Orca's speech (speech-dispatcher's, no synthesizer here)
    grep "Created input" "$runtime/pulse.log" | grep -v -c /speech-dispatcher/ || true
}
quiet() { # until Orca's log has not grown for three seconds (two minutes at the most)
    local size=-1
    for _ in $(seq 40); do
        [ "$(stat -c %s "$runtime/orca.log")" != "$size" ] || return 0
        size=$(stat -c %s "$runtime/orca.log")
        sleep 3
    done
}
home() { find "$home" -path "$home/kiparano" -prune -o -printf '%p %u %T@\n' | sort; }

use=$1
shift
for command in "$use" "$@"; do
    echo "own-desk.sh: running, as $user: $(sed -n '/[^ ]/{s/^ *//p;q}' <<<"$command")"
    as_user bash -c "cd ~/kiparano && $command"
    if [ "$command" = "$use" ]; then # they look at what it built, and hear it
        # (USE may have shown the program already: Orca must say more of it than it had)
        earlier=$(said)
        as_user "$home/kiparano/build/window/kiparano" >"$runtime/program.log" 2>&1 &
        awaited '[ "$(said)" -gt "$earlier" ]' || true
        pkill -u $user -x kiparano && wait $! || true
        quiet # what Orca had still to say of it is said before it is counted
        heard=$(said) played=$(played) before=$(home)
        if [ "$heard" -eq "$earlier" ]; then
            echo "own-desk.sh: $user's Orca said nothing of the program; it said:"
            grep -a "SPEECH OUTPUT" "$runtime/orca.log" | tail -n 10
            tail -n 5 "$runtime/wm.log" "$runtime/program.log"
            exit 1
        fi
        echo "own-desk.sh: $user's Orca read the program's window: $((heard - earlier)) lines"
    fi
done
quiet
faults=()
[ "$(session)" = "$started" ] || faults+=("the session's processes changed; now: $(session)")
[ "$(said)" = "$heard" ] || faults+=("$user's Orca said more of the program: $(said) lines, not $heard;
$(grep -a "SPEECH OUTPUT" "$runtime/orca.log" | tail -n 5)")
[ "$(played)" = "$played" ] || faults+=("$user's sound server played $(($(played) - played)) sounds:
$(grep -A3 "Created input" "$runtime/pulse.log" | tail -n 12)")
[ -z "$(find "$home" -uid 0)" ] || faults+=("owned by root: $(find "$home" -uid 0 | head)")
changed=$(diff <(echo "$before") <(home) || true)
[ -z "$changed" ] || faults+=("changed in $user's home: $changed")
if [ ${#faults[@]} -gt 0 ]; then
    printf 'own-desk.sh: %s\n' "${faults[@]}"
    exit 1
fi
echo "own-desk.sh: $user's session is as it was: the same processes, nothing said or played of the tests'"

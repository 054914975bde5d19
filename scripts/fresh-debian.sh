#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/fresh-debian.sh COMMAND...     (as root; each COMMAND is one shell command)
# Runs the commands, one after the other, in a clean Debian 12 system made for the run, on a
# clone of the commit checked out (HEAD), as a new contributor would: nothing is installed there
# but a minimal Debian and git, so a missing install step fails here on any machine. Stops at the
# first command that fails, with its status.
#
# The minimal system is made once with debootstrap from this machine's own package sources and
# kept in $KIPARANO_FRESH_CACHE (default /var/cache/kiparano-fresh), with the packages later
# runs download, so that a run costs the package installs and the commands. Each run works on a
# copy of it, in mount and process namespaces of its own: nothing it mounts or starts outlives it.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "fresh-debian.sh: run as root" >&2; exit 2; }
if [ -z "${KIPARANO_FRESH_INSIDE:-}" ]; then
    KIPARANO_FRESH_INSIDE=1 exec unshare --mount --pid --fork --propagation private \
        bash "$0" "$@"
fi
project=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cache=${KIPARANO_FRESH_CACHE:-/var/cache/kiparano-fresh}
base=$cache/bookworm

if [ ! -f "$base/.complete" ]; then
    command -v debootstrap >/dev/null || bash "$project/scripts/install-deps.sh" --only debootstrap
    mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
        grep -o -E '^(URIs:|deb) +[^ ]+' | grep -v security | head -1 | awk '{print $2}' || true)
    [ -n "$mirror" ] || { echo "fresh-debian.sh: no Debian mirror in the apt sources" >&2; exit 2; }
    echo "fresh-debian.sh: making a minimal Debian 12 (once; kept in $base)"
    rm -rf "$base" && mkdir -p "$base"
    debootstrap --variant=minbase --include=git,ca-certificates bookworm "$base" "$mirror" \
        >"$cache/debootstrap.log" 2>&1 || { tail -n 5 "$cache/debootstrap.log"; exit 2; }
    # The machine's own sources of Debian's packages, and nothing else of its apt setup.
    rm -f "$base/etc/apt/sources.list"
    for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list; do
        if [ -f "$f" ] && grep -q -E '^(URIs:|deb ) *[^ ]*debian' "$f"; then cp "$f" "$base$f"; fi
    done
    touch "$base/.complete"
fi

root=$(mktemp -d /tmp/kiparano-fresh.XXXXXX)
cleanup() {
    for mount in var/cache/apt/archives tmp dev sys proc; do
        umount -R -l "$root/$mount" 2>/dev/null || true
    done
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT
cp -a "$base/." "$root/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir -p "$cache/archives/partial"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/dev/shm"
mount -t tmpfs tmpfs "$root/tmp"
mount --bind "$cache/archives" "$root/var/cache/apt/archives" # downloads kept between runs

git clone -q "$project" "$root/root/kiparano"
echo "fresh-debian.sh: a clean Debian 12 with kiparano at $(git -C "$root/root/kiparano" log -1 --format=%h)"
for command in "$@"; do
    echo "fresh-debian.sh: running '$command'"
    started=$(date +%s)
    status=0
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        CI="${CI:-}" TERM=dumb bash -c "cd /root/kiparano && $command" || status=$?
    echo "fresh-debian.sh: '$command' exited $status after $(($(date +%s) - started)) s"
    [ $status -eq 0 ] || exit $status
done

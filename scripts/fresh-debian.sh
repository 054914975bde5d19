#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/fresh-debian.sh [--suite bookworm|trixie] [--arch ARCH | --cross ARCH]
#                                [--worktree] COMMAND...
#        (as root)
# Runs the commands, one after the other, in a clean Debian system made for the run (Debian 12,
# bookworm, unless --suite names another), on a clone of the commit checked out (HEAD), as a new
# contributor would: nothing is installed there but a minimal Debian and git, so a missing
# install step fails here on any machine. Stops at the first command that fails, with its status.
#
# With --arch the system is Debian for that architecture (s390x, arm64, ppc64el, riscv64...),
# its programs run by qemu-user through the kernel's binfmt_misc: as a distribution's build
# machine of that kind would build and test, about ten times slower. qemu-user must be 8.0 or
# later (7.2, Debian 12's, fails a clone() that asks for a pidfd, which Qt's QProcess does): on
# Debian 12 it is installed from bookworm-backports. Where the root's byte order is not this
# machine's, its programs take plain mutexes for priority-inheriting ones, which qemu-user cannot
# emulate there (scripts/plain-mutexes.c).
#
# With --cross the system is this machine's Debian with ARCH added as a second architecture
# (multiarch): ARCH's libraries install beside its own, for Debian's cross compilers to build
# for ARCH at this machine's speed (scripts/s390x.sh).
#
# With --worktree the checkout itself is mounted there instead of a clone, with kiparano's
# build cache (KIPARANO_CACHE): what the commands build stays in the checkout. scripts/windows.sh
# builds in a Debian 13 system so, from a Debian 12 machine.
#
# Each suite's minimal system is made once with debootstrap from this machine's own package
# sources and kept in $KIPARANO_FRESH_CACHE (default /var/cache/kiparano-fresh), with the
# packages later runs download, so that a run costs the package installs and the commands. Each
# run works on a copy of it, in mount and process namespaces of its own: nothing it mounts or
# starts outlives it.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "fresh-debian.sh: run as root" >&2; exit 2; }
if [ -z "${KIPARANO_FRESH_INSIDE:-}" ]; then
    KIPARANO_FRESH_INSIDE=1 exec unshare --mount --pid --fork --propagation private \
        bash "$0" "$@"
fi
suite=bookworm
arch=$(dpkg --print-architecture)
cross=
worktree=
while [ $# -gt 0 ]; do
    case $1 in
    --suite) suite=$2 && shift 2 ;;
    --arch) arch=$2 && shift 2 ;;
    --cross) cross=$2 && shift 2 ;;
    --worktree) worktree=1 && shift ;;
    *) break ;;
    esac
done
case $suite in
bookworm) release=12 ;;
trixie) release=13 ;;
*) echo "fresh-debian.sh: unknown suite $suite" >&2 && exit 2 ;;
esac
project=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cache=${KIPARANO_FRESH_CACHE:-/var/cache/kiparano-fresh}
base=$cache/$suite
[ "$arch" = "$(dpkg --print-architecture)" ] || base=$cache/$suite-$arch
mkdir -p "$cache"

# The mirrors this machine takes Debian's packages from.
sources=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
    grep -o -E '^(URIs:|deb) +[^ ]+' | awk '{print $2}' | grep debian || true)
mirror=$(grep -v security <<<"$sources" | head -1)
security=$(grep security <<<"$sources" | head -1)
[ -n "$mirror" ] || { echo "fresh-debian.sh: no Debian mirror in the apt sources" >&2; exit 2; }

# Another architecture's programs run by qemu-user 8.0 or later, registered with binfmt_misc
# with the F flag, so that the kernel finds the emulator outside the root.
emulate() {
    local arch=$1 machine
    case $arch in
    arm64) machine=aarch64 ;; armhf | armel) machine=arm ;; ppc64el) machine=ppc64le ;;
    i386) machine=i386 ;; *) machine=$arch ;;
    esac
    [ -e /proc/sys/fs/binfmt_misc/register ] ||
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || {
        echo "fresh-debian.sh: $arch programs cannot run here: the kernel has no binfmt_misc" >&2
        exit 2
    }
    local version
    version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
    if [ -z "$version" ] || dpkg --compare-versions "$version" lt 1:8.0; then
        local here apt_dir
        here=$(. /etc/os-release && echo "$VERSION_CODENAME")
        apt_dir=$(mktemp -d)
        # One install on this machine at a time, as scripts/install-deps.sh does.
        [ -e /tmp/kiparano-apt.lock ] || (umask 0 && : >/tmp/kiparano-apt.lock)
        exec {apt_lock}</tmp/kiparano-apt.lock
        flock "$apt_lock"
        echo "fresh-debian.sh: installing qemu-user 8.0 or later, from $here-backports if need be"
        printf 'deb %s %s main\n' "$mirror" "$here" "$mirror" "$here-backports" >"$apt_dir/sources.list"
        mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
        local apt=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
            -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
            -o "APT::Sandbox::User=root")
        apt-get "${apt[@]}" update -qq
        DEBIAN_FRONTEND=noninteractive apt-get "${apt[@]}" install -y -qq --no-install-recommends \
            -t "$here-backports" qemu-user qemu-user-binfmt >/dev/null ||
            DEBIAN_FRONTEND=noninteractive apt-get "${apt[@]}" install -y -qq \
                --no-install-recommends qemu-user qemu-user-binfmt >/dev/null
        rm -rf "$apt_dir"
        flock -u "$apt_lock"
    fi
    # What systemd-binfmt would register at boot, in place of an older emulator's entry.
    local entry=/proc/sys/fs/binfmt_misc/qemu-$machine
    local wanted
    wanted=$(sed -n 's/^:[^:]*:[^:]*:[^:]*:[^:]*:[^:]*:\([^:]*\):.*/\1/p' \
        "/usr/lib/binfmt.d/qemu-$machine.conf")
    if ! grep -q -x "interpreter $wanted" "$entry" 2>/dev/null; then
        [ ! -e "$entry" ] || echo -1 >"$entry"
        cat "/usr/lib/binfmt.d/qemu-$machine.conf" >/proc/sys/fs/binfmt_misc/register
    fi
    echo "fresh-debian.sh: $arch programs run by $(qemu-"$machine" --version | head -1)"
}
[ "$arch" = "$(dpkg --print-architecture)" ] || emulate "$arch"

# Made once, by whichever run comes first.
exec {lock}>"$base.lock"
flock "$lock"
if [ -f "$base/.complete" ]; then
    echo "cache Debian $release ($arch) root: warm, in $base"
else
    made=$(date +%s)
    command -v debootstrap >/dev/null || bash "$project/scripts/install-deps.sh" --only debootstrap
    [ ! -e "$base" ] || echo "fresh-debian.sh: $base is unfinished (a run was cut off): made anew"
    echo "fresh-debian.sh: making a minimal Debian $release for $arch (once; kept in $base)"
    rm -rf "$base" && mkdir -p "$base"
    log=$cache/debootstrap-$suite-$arch.log
    debootstrap --arch="$arch" --foreign --variant=minbase --include=git,ca-certificates \
        "$suite" "$base" "$mirror" >"$log" 2>&1 &&
        chroot "$base" /debootstrap/debootstrap --second-stage >>"$log" 2>&1 ||
        { tail -n 5 "$log"; exit 2; }
    # The suite, its updates and its security updates, from the machine's own mirrors.
    {
        echo "deb $mirror $suite main"
        echo "deb $mirror $suite-updates main"
        [ -z "$security" ] || echo "deb $security $suite-security main"
    } >"$base/etc/apt/sources.list"
    touch "$base/.complete"
    echo "cache Debian $release ($arch) root: cold, made in $(($(date +%s) - made)) s"
fi
inside() { # runs a shell script in a root, as root
    chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        sh -ec "$2"
}
# Across byte orders (the root's programs big-endian, say, and this machine's little) qemu-user
# cannot emulate priority-inheriting mutexes: scripts/plain-mutexes.c says why, and stands in,
# preloaded in every run's root. It is built once for each of its versions, in a copy of the
# minimal system that the compiler leaves with.
mutexes=
if [ "$(od -An -tx1 -j5 -N1 "$base/bin/true")" != "$(od -An -tx1 -j5 -N1 /bin/true)" ]; then
    source=$project/scripts/plain-mutexes.c
    mutexes=$cache/plain-mutexes-$suite-$arch-$(sha256sum "$source" | cut -c1-16).so
    if [ -f "$mutexes" ]; then
        echo "cache plain mutexes for $arch: warm, in $mutexes"
    else
        made=$(date +%s)
        scratch=$base.scratch
        rm -rf --one-file-system "$scratch" && cp -a "$base" "$scratch"
        cp /etc/resolv.conf "$scratch/etc/resolv.conf"
        cp "$source" "$scratch/tmp/plain-mutexes.c"
        mount -t proc proc "$scratch/proc" && mount --rbind /dev "$scratch/dev"
        inside "$scratch" 'apt-get update -qq
            apt-get install -y -qq --no-install-recommends gcc libc6-dev >/dev/null
            gcc -O2 -shared -fPIC -o /tmp/plain-mutexes.so /tmp/plain-mutexes.c'
        umount -R -l "$scratch/dev" "$scratch/proc"
        cp "$scratch/tmp/plain-mutexes.so" "$mutexes.new" && mv "$mutexes.new" "$mutexes"
        rm -rf --one-file-system "$scratch"
        echo "cache plain mutexes for $arch: cold, built in $(($(date +%s) - made)) s"
    fi
fi
flock -u "$lock"

# A run's copy is locked while it lives: one left by a run killed outright is removed here.
# Runs beside each other sweep and make their copies one at a time.
exec {sweep}>/tmp/kiparano-fresh.sweep
flock "$sweep"
for stale in /tmp/kiparano-fresh.*.lock; do
    [ -e "$stale" ] || continue
    exec {other}<"$stale"
    if flock -n "$other"; then
        echo "fresh-debian.sh: removing ${stale%.lock}, left by a run that was cut off"
        rm -rf --one-file-system "${stale%.lock}" "$stale" \
            "$cache/archives.$(basename "${stale%.lock}")"
    fi
    exec {other}<&-
done
root=$(mktemp -d /tmp/kiparano-fresh.XXXXXX)
exec {root_lock}>"$root.lock"
flock "$root_lock"
flock -u "$sweep"
cleanup() {
    for mount in root/kiparano root/.cache/kiparano var/cache/ccache var/cache/apt/archives tmp \
        dev sys proc; do
        umount -R -l "$root/$mount" 2>/dev/null || true
    done
    rm -rf --one-file-system "$root" "$root.lock"
    rm -rf "$cache/archives.$(basename "$root")"
}
trap cleanup EXIT
cp -a "$base/." "$root/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# Thrown away after the run, the root needs no package's files synced to disk one by one.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/kiparano-unsafe-io"
# Downloads are kept for later runs, by one run at a time; a run beside it downloads into a
# folder of its own, which starts with links to every package kept (apt moves a download there
# only once it is whole), so that it fetches only what is new.
archives=$cache/archives-$suite-$arch
exec {archives_lock}>"$archives.lock"
if ! flock -n "$archives_lock"; then
    kept=$archives
    archives=$cache/archives.$(basename "$root")
    mkdir "$archives"
    find "$kept" -maxdepth 1 -name '*.deb' -exec ln -t "$archives" {} +
fi
mkdir -p "$archives/partial"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/dev/shm"
mount -t tmpfs tmpfs "$root/tmp"
chmod 1777 "$root/tmp"
mount --bind "$archives" "$root/var/cache/apt/archives"

if [ -n "$mutexes" ]; then
    echo "fresh-debian.sh: $arch's byte order is not this machine's: plain mutexes for all"
    cp "$mutexes" "$root/usr/local/lib/plain-mutexes.so"
    echo /usr/local/lib/plain-mutexes.so >"$root/etc/ld.so.preload"
fi
if [ -n "$cross" ]; then
    # A library both architectures use must be of one version in both; a mirror of security
    # updates may hold this machine's architecture alone, so here packages come from the suite
    # and its updates.
    inside "$root" "dpkg --add-architecture $cross
        sed -i '/-security /d' /etc/apt/sources.list"
fi

mkdir -p "$root/root/kiparano"
environment=()
if [ -n "$worktree" ]; then
    mount --bind "$project" "$root/root/kiparano"
    build_cache=${KIPARANO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kiparano}
    mkdir -p "$build_cache" "$root/root/.cache/kiparano"
    mount --bind "$build_cache" "$root/root/.cache/kiparano"
    environment+=(KIPARANO_CACHE=/root/.cache/kiparano)
    echo "fresh-debian.sh: a clean Debian $release with this checkout mounted"
else
    git clone -q "$project" "$root/root/kiparano"
    echo "fresh-debian.sh: a clean Debian $release ($arch) with kiparano at $(git -C "$root/root/kiparano" log -1 --format=%h)"
fi
# With KIPARANO_COMPILER_CACHE set (CI sets it), the commands compile through ccache, whose
# cache is kept beside the minimal system for the runs after: a warm run's builds compile only
# what changed, and make the same objects. The system gets ccache before the commands, and a
# contributor's builds use it as they would a launcher of their own (CMAKE_CXX_COMPILER_LAUNCHER).
if [ -n "${KIPARANO_COMPILER_CACHE:-}" ] && [ "$arch" = "$(dpkg --print-architecture)" ]; then
    compiled=$cache/ccache-$suite-$arch
    [ -d "$compiled" ] || { mkdir -p "$compiled" && chmod 777 "$compiled"; }
    if [ -n "$(ls -A "$compiled")" ]; then
        echo "cache compiler cache for Debian $release ($arch): warm, in $compiled"
    else
        echo "cache compiler cache for Debian $release ($arch): cold, in $compiled"
    fi
    mkdir -p "$root/var/cache/ccache"
    mount --bind "$compiled" "$root/var/cache/ccache"
    # Shared by root and by the contributor the commands may run as.
    printf 'cache_dir = /var/cache/ccache\numask = 000\nmax_size = 4G\n' >"$root/etc/ccache.conf"
    inside "$root" 'apt-get update -qq
        apt-get install -y -qq --no-install-recommends ccache >/dev/null'
    environment+=(CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
for command in "$@"; do
    name=$(sed -n '/[^ ]/{s/^ *//p;q}' <<<"$command") # its first line
    echo "fresh-debian.sh: running '$name'"
    started=$(date +%s)
    status=0
    # The root is made the whole system (pivot_root), not only a chroot: the kernel refuses a
    # chroot's programs what a system's own may do, such as a user namespace of their own.
    unshare --mount --propagation private sh -ec 'mount --rbind "$0" "$0" && cd "$0"
        pivot_root . mnt && umount -l /mnt && exec "$@"' "$root" \
        /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        CI="${CI:-}" TERM=dumb "${environment[@]}" bash -c "cd /root/kiparano && $command" ||
        status=$?
    echo "fresh-debian.sh: '$name' exited $status after $(($(date +%s) - started)) s on Debian $release ($arch)"
    [ $status -eq 0 ] || exit $status
done

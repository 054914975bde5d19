#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/reproducible.sh deb|zip
# Builds what we publish twice from the commit checked out (HEAD), with Debian's reprotest, and
# fails unless the two are the same bytes: the Debian package (deb, ./package.sh) or the Windows
# zip (zip, scripts/windows.sh build package, with the static Qt already built). Between the two
# builds reprotest varies the build path, the clock (faketime), the umask, the locale, the time
# zone, the home folder, the environment, the number of processors and the kernel's name: all
# that a stranger's machine does differently. Prints the SHA-256 of each, and diffoscope's
# account of where they differ when they do; both builds are kept in build-reproducible/.
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
deb) build="bash package.sh" artifact="build-package/kiparano_*.deb" ;;
zip) build="bash scripts/windows.sh build package" artifact="build-windows/kiparano-*.zip" ;;
*) echo "usage: $0 deb|zip" >&2 && exit 2 ;;
esac
bash scripts/install-deps.sh --only reprotest faketime diffoscope-minimal locales-all
source=$(mktemp -d)
trap 'rm -rf "$source"' EXIT
git clone -q . "$source/kiparano"
rm -rf build-reproducible
# Not varied: the order in which the file system lists a folder (that needs disorderfs, a FUSE
# file system), the user (a second user set up for sudo) and the host name (namespaces).
reprotest --vary=-fileordering,-user_group,-domain_host --store-dir="$PWD/build-reproducible" \
    -c "$build" "$source/kiparano" "$artifact" || status=$?
sha256sum build-reproducible/*/* 2>/dev/null || true
exit "${status:-0}"

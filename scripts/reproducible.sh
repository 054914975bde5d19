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
# account of where they differ when they do; both builds are kept in build-reproducible/. The
# package's bill of materials is then validated (scripts/spdx-validate.sh) where Debian has
# the validator's library, from Debian 13 on; the zip's is, by its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
deb) build="bash package.sh" artifact="build-package/kiparano_*.deb" ;;
zip) build="bash scripts/windows.sh build package" artifact="build-windows/kiparano-*.zip" ;;
*) echo "usage: $0 deb|zip" >&2 && exit 2 ;;
esac
# Each build compiled by the compiler itself: a difference cannot hide behind a cached object.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
bash scripts/install-deps.sh --only reprotest faketime diffoscope-minimal locales-all
source=$(mktemp -d)
trap 'rm -rf "$source"' EXIT
git clone -q . "$source/kiparano"
rm -rf build-reproducible
# Not varied: the order in which the file system lists a folder (that needs disorderfs, a FUSE
# file system), the user (a second user set up for sudo) and the host name (namespaces).
reprotest --vary=-fileordering,-user_group,-domain_host --store-dir="$PWD/build-reproducible" \
    -c "$build" "$source/kiparano" "$artifact" || status=$?
find build-reproducible -name "kiparano*.deb" -o -name "kiparano*.zip" | sort | xargs sha256sum
[ -z "${status:-}" ] || exit "$status"
if [ "$1" = deb ]; then
    spdx=$source/kiparano.spdx
    dpkg-deb --fsys-tarfile build-reproducible/control/source-root/$artifact |
        tar -xO ./usr/share/doc/kiparano/kiparano.spdx >"$spdx"
    if apt-cache show golang-github-spdx-tools-golang-dev >/dev/null 2>&1; then
        bash scripts/spdx-validate.sh "$spdx"
    else
        echo "The package's bill of materials is not validated here: this Debian has no package of"
        echo "tools-golang, the SPDX project's library (Debian 13 and later have)."
    fi
fi

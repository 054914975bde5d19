#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/windows.sh [STAGE...]    (stages qt, build, package, test, reproducible;
#                                         default: the first four)
# Builds kiparano for 64-bit Windows and tests it under Wine, installing what is missing:
#   qt       a static Qt 6.8.2 for Windows from Debian 13's own qt6-base source, built once into
#            $KIPARANO_CACHE (default ~/.cache/kiparano) and reused after: the long step, most of
#            an hour on two cores
#   build    the program and its tests with MinGW-w64 against that Qt, in build-windows/
#   package  build-windows/kiparano-VERSION-windows-x64.zip: kiparano.exe, the licences and the
#            notices of all it contains, its bill of materials, how to start it
#   test     the tests under Wine on an X server of their own (CTest runs them through Wine),
#            then the real kiparano.exe, driven through X, and its DLL search
#   reproducible  build and package twice with reprotest (scripts/reproducible.sh zip): the
#            same bytes
#   bench    the benchmark under Wine on an X server of its own (docs/benchmarks.md), then the
#            real kiparano.exe started eleven times, timed from `wine` to its window on X
#   starts   the real kiparano.exe started STARTS times (300) beside two busy processes, each
#            until its window shows, then ended: a start that faults or shows nothing within a
#            minute is counted, with what Wine said (its debugger's backtrace, on a fault)
# Qt 6.8 is cross-built with the host tools of its own version, which Debian 13 has: on another
# system the script runs itself in a clean Debian 13 (scripts/fresh-debian.sh, as root) with
# this checkout and the cache mounted.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
stages=${*:-qt build package test}
qt_version=6.8.2
qt_recipe=4 # what build_qt makes; a cached Qt of another recipe is built anew
suite=trixie

if [ "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" != $suite ]; then
    echo "== not Debian 13: building in a clean Debian 13 with this checkout mounted"
    exec bash scripts/fresh-debian.sh --suite $suite --worktree "bash scripts/windows.sh $stages"
fi

cache=${KIPARANO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kiparano}
qt=$cache/qt-$qt_version-mingw-static
build=$root/build-windows

# MinGW-w64 with POSIX threads, Debian's Qt host tools (moc, rcc, uic) of the same version,
# dpkg-dev to unpack Qt's source, Python and reuse for the bill of materials, Wine with an X
# server to run the result (and xclip to read what it copies), zip to ship it; the Linux side of
# the tests (tst_desktop drives the exe through X) builds with the usual packages.
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
    qt6-base-dev-tools dpkg-dev python3 reuse wine wine64 xvfb x11-utils xclip libxtst-dev zip

elapsed() { echo "$(($(date +%s) - $1)) s"; }

# In a process of its own, so that nothing it sets (the source date of Qt's changelog) reaches
# the stages after it.
build_qt() (
    # One build of it at a time: a run beside this one waits for the other's Qt, then uses it.
    mkdir -p "$cache"
    exec {lock}>"$cache/qt.lock"
    flock -n "$lock" || { echo "== waiting for the static Qt that another run builds" && flock "$lock"; }
    if [ "$(cat "$qt/.complete" 2>/dev/null)" = "$qt_recipe" ]; then
        echo "cache static Qt $qt_version for Windows: warm, in $qt"
        return
    fi
    local started work src sources mirror security
    started=$(date +%s)
    work=$cache/qt-work
    if [ -e "$qt" ] || [ -e "$work" ]; then
        echo "== $qt is of another recipe, or unfinished (a build was cut off): built anew"
    fi
    rm -rf "$work" "$qt" && mkdir -p "$work/lists/partial" "$work/apt-cache/archives/partial"
    echo "== static Qt $qt_version for Windows: not cached, building it once into $qt"
    # Debian's own source of the Qt we build against on Linux, from the mirrors this machine
    # uses, through an apt configuration of our own: the system's sources stay as they are.
    sources=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
        grep -o -E '^(URIs:|deb) +[^ ]+' | awk '{print $2}' | grep debian || true)
    mirror=$(grep -v security <<<"$sources" | head -1)
    security=$(grep security <<<"$sources" | head -1)
    [ -n "$mirror" ] || { echo "no Debian mirror in the apt sources" >&2; exit 1; }
    {
        echo "deb-src $mirror $suite main"
        echo "deb-src $mirror $suite-updates main"
        [ -z "$security" ] || echo "deb-src $security $suite-security main"
    } >"$work/sources.list"
    local apt=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
        -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/apt-cache" -o "APT::Sandbox::User=root")
    apt-get "${apt[@]}" update -qq
    (cd "$work" && apt-get "${apt[@]}" source -qq qt6-base) >/dev/null
    src=$work/qt6-base-$qt_version+dfsg
    [ -d "$src" ] || { echo "Debian's qt6-base is not $qt_version here" >&2; exit 1; }
    local version
    version=$(grep -m1 '^Version:' "$work"/*.dsc | cut -d' ' -f2)
    echo "source: Debian's qt6-base $version ($(elapsed "$started"))"
    # The same bytes from the same source wherever and whenever it is built, as Debian builds
    # it: dated by the source's own changelog, with the build's folders out of the objects.
    # Relocatable, so that no folder of this machine is compiled in as Qt's prefix.
    local flags="-ffile-prefix-map=$work=/qt-work"
    export SOURCE_DATE_EPOCH
    SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$src/debian/changelog" -STimestamp)
    # Static and release, with only what the program and its tests use. Debian's source has no
    # wintab (so no tablet events); no OpenGL (configure's -no-opengl; switching the feature
    # off alone leaves dynamic OpenGL on, and the windows plugin then does not compile): the
    # window paints in software, and Qt's OpenGL modules are not built; nor is the Direct2D copy
    # of the windows platform plugin (Direct2D 1.1). DirectWrite, Qt 6.8's font engine on
    # Windows, stays in, and with it Direct2D, which 6.8.2's font database needs to compile.
    # Qt's build writes its bill of materials, an SPDX document, into the prefix.
    # Built for size: -Os, and every function and datum in a section of its own, so that the
    # link keeps only what is reached. Widgets none of ours uses are switched off, for Qt's own
    # code reaches them whether used or not (the accessibility factory, the styles); text editing,
    # graphics views and style sheets stay, as the Windows styles are built with them regardless.
    local unused=(
        mdiarea          # one plain window: no sub-windows
        dockwidget       # nor docks
        calendarwidget   # no calendar
        datetimeedit     # no date or time to enter
        lcdnumber        # the number boxes are labels
        dial             # no dial
        keysequenceedit  # no shortcut editor
        undocommand      # nothing to undo
        wizard           # no wizard
        splashscreen     # no splash screen: the window is up at once
        whatsthis        # no "What's This?" help
        textodfwriter    # nothing is saved, let alone as OpenDocument
    )
    unused=("${unused[@]/#/-DFEATURE_}")
    # Built once and kept whole: a compiler cache would only keep its objects a second time.
    env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER \
        cmake -G Ninja -S "$src" -B "$work/build" -Wno-dev \
            -DCMAKE_TOOLCHAIN_FILE="$root/scripts/mingw-w64-x86_64.cmake" \
            -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
            -DCMAKE_INSTALL_PREFIX="$qt" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
            -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DFEATURE_relocatable=ON \
            -DQT_GENERATE_SBOM=ON -DFEATURE_optimize_size=ON -DFEATURE_gc_binaries=ON \
            "${unused[@]/%/=OFF}" \
            -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
            -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
            -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DINPUT_opengl=no -DFEATURE_direct2d1_1=OFF \
            -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF \
            -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_system_zlib=OFF \
            -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
            -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF \
            -DFEATURE_system_doubleconversion=OFF >"$work/configure.log" 2>&1 ||
        { tail -n 30 "$work/configure.log"; exit 1; }
    echo "configured ($(elapsed "$started")); building $(ninja -C "$work/build" -n | wc -l) steps"
    cmake --build "$work/build" --parallel "$(nproc)"
    cmake --install "$work/build" >/dev/null
    # What the notices shipped beside the program are made from: Qt's licence texts, the
    # attribution of each third-party part of the source, with the licence files it names, and
    # Debian's copyright file of the source.
    cp -r "$src/LICENSES" "$qt/"
    (cd "$src" && find . -name qt_attribution.json -not -path './tests/*' -print0 |
        xargs -0 python3 -c '
import json, os, sys
for path in sys.argv[1:]:
    data = json.load(open(path), strict=False)
    for entry in data if isinstance(data, list) else [data]:
        files = entry.get("LicenseFiles") or [entry.get("LicenseFile", "")]
        print(path)
        for name in filter(None, files):
            print(os.path.normpath(os.path.join(os.path.dirname(path), name)))
' | sort -u | while read -r file; do
        [ -f "$file" ] && install -D -m 644 "$file" "$qt/attributions/$file"
    done)
    install -D -m 644 "$src/debian/copyright" "$qt/attributions/debian/copyright"
    echo "$version" >"$qt/debian-version"
    echo "$qt_recipe" >"$qt/.complete"
    rm -rf "$work"
    echo "cache static Qt $qt_version for Windows: cold, built and installed in $(elapsed "$started")"
)

build_program() {
    [ "$(cat "$qt/.complete" 2>/dev/null)" = "$qt_recipe" ] || { echo "no static Qt for Windows in $qt: run '$0 qt'" >&2; exit 1; }
    local started
    started=$(date +%s)
    echo "== kiparano for Windows"
    # Debian's Qt skips the automatic import of a static Qt's plugins, which would leave the
    # program without its platform plugin.
    "$qt/bin/qt-cmake" -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DQT_SKIP_AUTO_PLUGIN_INCLUSION=OFF \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh" >/dev/null
    # What the zip holds; the tests and the benchmarks are built by the stages that run them.
    cmake --build "$build" --target kiparano
    echo "built in $(elapsed "$started"): kiparano.exe, $(stat -c %s "$build/window/kiparano.exe") bytes, imports:"
    x86_64-w64-mingw32-objdump -p "$build/window/kiparano.exe" | sed -n 's/^\tDLL Name: /  /p'
    x86_64-w64-mingw32-objdump -p "$build/window/kiparano.exe" | grep "Load Configuration"
}

# Runs the bash `script` (its arguments after it, the first as $0) under Wine in a throwaway prefix
# (WINEDEBUG, if set, says what Wine logs; nothing by default), on an X server of its own, once
# the prefix is made; shown says whether our window is on that screen. Wine is ended after it.
under_wine() {
    local prefix status=0 script=$1
    shift
    prefix=$(mktemp -d)
    WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=" \
        XVFB_SCREEN=1024x768x24 script=$script bash scripts/with-service.sh xvfb bash -c '
            shown() { xwininfo -root -tree 2>/dev/null | grep -q "ミヴォレタ"; }
            wineboot --init >/dev/null 2>&1 && wineserver --wait
            (eval "$script")
            status=$?
            wineserver --kill; wineserver --wait
            exit $status' "$@" || status=$?
    rm -rf "$prefix"
    return $status
}

# Wine in a throwaway prefix, on an X server of its own: the cross-built tests through CTest,
# then the real kiparano.exe from the Linux desktop test, pressed through XTest and closed as a
# window manager closes it; it may take as long to exit as when closed at once, and 0.5 s.
run_tests() {
    local status=0 driver=$build/linux-driver
    cmake --build "$build" # the tests, and the benchmarks, so that they keep building
    cmake -S "$root" -B "$driver" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$driver" --target tst_desktop >/dev/null
    echo "== tests under Wine ($(wine --version 2>/dev/null))"
    under_wine '
        ctest --test-dir "$0" --output-on-failure &&
            echo "== kiparano.exe under Wine, pressed through X and closed" &&
            DESKTOP_PROGRAM="wine $0/window/kiparano.exe" DESKTOP_CLASS=kiparano.exe \
            "$1/tests/tst_desktop" copiedOnX' "$build" "$driver" 2>&1 |
        grep -v -E "wine32|multiarch|i386" || status=$?
    return $status
}

# The benchmark, with a wineserver running as for a player's second start; then the real program
# as a player starts it, until its window is on the screen.
run_bench() {
    cmake --build "$build"
    under_wine 'wineserver -p
        "$0" "$1/bench/kiparano_bench.exe" && starts=$(for _ in $(seq 11); do
            started=$(date +%s%N)
            wine "$1/window/kiparano.exe" &
            until shown; do sleep 0.005; done
            echo $((($(date +%s%N) - started) / 1000000))
            kill $! && wait $!
        done | sort -n | tr "\n" " ")
        status=$?
        echo "kiparano.exe, from wine to its window on X, ms (11 starts, sorted): $starts"
        exit $status' "$root/scripts/wine-run.sh" "$build"
}

run_starts() {
    WINEDEBUG=-fixme under_wine 'wineserver -p
        for _ in 1 2; do while :; do :; done & done
        busy=$(jobs -p) faults=0 started=$(date +%s)
        for start in $(seq "$1"); do
            wine "$0/window/kiparano.exe" >"$WINEPREFIX/start.log" 2>&1 &
            waited=0
            until shown || ! kill -0 $! 2>/dev/null || [ $((waited++)) -ge 600 ]; do sleep 0.1; done
            if ! shown || grep -q -E "Unhandled|Backtrace" "$WINEPREFIX/start.log"; then
                faults=$((faults + 1))
                echo "start $start: $(shown && echo "shown, but" || echo "no window;") Wine said:"
                cat "$WINEPREFIX/start.log"
            fi
            kill $! 2>/dev/null; wait $! 2>/dev/null
        done
        kill $busy
        echo "kiparano.exe started $1 times beside two busy processes in $(($(date +%s) - started)) s: $faults faulted or showed nothing"
        [ $faults -eq 0 ]' "$build" "${STARTS:-300}"
}

package() {
    local version name out date
    version=$(sed -n 's/^set(KIPARANO_VERSION \(.*\))$/\1/p' CMakeLists.txt)
    name=kiparano-$version-windows-x64
    out=$build/$name
    date=$(sed -n 's/^KIPARANO_SOURCE_DATE:INTERNAL=//p' "$build/CMakeCache.txt")
    rm -rf "$out" "$out.zip" && mkdir -p "$out"
    # strip writes the time into the PE header anew, SOURCE_DATE_EPOCH's where it is set.
    SOURCE_DATE_EPOCH=$date x86_64-w64-mingw32-strip -o "$out/kiparano.exe" "$build/window/kiparano.exe"
    cp LICENSE "$out/LICENSE.txt"
    cp assets/fonts/LICENSE.txt "$out/FONTS-LICENSE.txt"
    cp "$qt/LICENSES/LGPL-3.0-only.txt" "$out/Qt-LGPL-3.0.txt"
    cp "$qt/LICENSES/GPL-3.0-only.txt" "$out/Qt-GPL-3.0.txt"
    # The readme a player opens first is Japanese, in UTF-8 with a byte-order mark and CRLF, so
    # that Notepad on every Windows we run on shows it; the English one beside it.
    local readme=(-e "s/@VERSION@/$version/" -e "s/@QT_VERSION@/$qt_version/"
        -e "s/@QT_DEBIAN_VERSION@/$(cat "$qt/debian-version")/")
    { printf '\xef\xbb\xbf' && sed "${readme[@]}" -e 's/$/\r/' packaging/windows/README-ja.txt.in; } \
        >"$out/README.txt"
    sed "${readme[@]}" -e 's/$/\r/' packaging/windows/README.txt.in >"$out/README-en.txt"
    # The notices of all that the link took into kiparano.exe and the zip's bill of materials,
    # from Qt's own and the linker's map; none, and no zip, where Qt has no bill of materials.
    python3 packaging/sbom.py zip --version "$version" \
        --date "$date" --source "$root" --qt "$qt" --map "$build/window/kiparano.map" \
        --out "$out" --tools "$(command -v x86_64-w64-mingw32-g++-posix);$(command -v \
        x86_64-w64-mingw32-ld);/usr/lib/qt6/libexec/rcc"
    # Checked against the link before it ships: no library linked unnamed, none named unlinked.
    python3 packaging/notices_check.py "$build/window/kiparano.map" "$out" "$qt"
    # The same bytes from the same commit: every entry dated by the source (its time written
    # in UTC), 0644, in one order, with no owner, extra field or folder entry.
    chmod 0644 "$out"/*
    touch -d "@$date" "$out"/*
    (cd "$build" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$name.zip")
    echo "== $out.zip: $(stat -c %s "$out.zip") bytes, SHA-256 $(sha256sum "$out.zip" | cut -d' ' -f1)"
}

for stage in $stages; do
    case $stage in
    qt) build_qt ;;
    build) build_program ;;
    test) run_tests ;;
    package) package ;;
    reproducible) bash scripts/reproducible.sh zip ;;
    bench) run_bench ;;
    starts) run_starts ;;
    *) echo "unknown stage $stage" >&2 && exit 2 ;;
    esac
done

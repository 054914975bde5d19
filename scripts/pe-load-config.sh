#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: pe-load-config.sh PROGRAM.exe NM
# Points the load configuration entry of a 64-bit Windows program's data directory at the
# program's _load_config_used structure, as Microsoft's and LLVM's linkers do and GNU ld does
# not: Windows reads the program's DependentLoadFlags there. NM is the toolchain's nm. The build
# runs it after each link of the program.
set -euo pipefail
exe=$1
u() { od -An -t "u$1" -j "$2" -N "$1" "$exe" | tr -d ' '; } # a little-endian number at an offset
le32() { printf "\\\\x%02x" $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24)); }

header=$(u 4 60) # e_lfanew
optional=$((header + 24))
[ "$(u 2 $optional)" = 523 ] || { echo "$exe: not a 64-bit Windows program" >&2; exit 1; }
address=$("$2" "$exe" | awk '$3 == "_load_config_used" { print $1 }')
[ -n "$address" ] || { echo "$exe: it has no _load_config_used" >&2; exit 1; }
rva=$((16#$address - $(u 8 $((optional + 24))))) # less the image base

# The structure's own first field is its size: found through the section that holds it.
sections=$((optional + $(u 2 $((header + 20)))))
for ((i = 0; i < $(u 2 $((header + 6))); i++)); do
    section=$((sections + 40 * i))
    start=$(u 4 $((section + 12)))
    if ((rva >= start && rva < start + $(u 4 $((section + 8))))); then
        size=$(u 4 $(($(u 4 $((section + 20))) + rva - start)))
    fi
done
[ -n "${size:-}" ] || { echo "$exe: _load_config_used lies in no section" >&2; exit 1; }

# The load configuration is entry 10 of the data directory, at 112 in a PE32+ optional header.
printf "$(le32 $rva)$(le32 $size)" |
    dd of="$exe" bs=1 seek=$((optional + 112 + 8 * 10)) conv=notrunc status=none

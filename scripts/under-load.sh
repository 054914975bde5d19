#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/under-load.sh [ROUNDS [PRESET...]]
# Runs every test of each preset (default and asan unless named) ROUNDS times (ten unless told)
# while two processes spin at normal priority beside them, as on a shared build machine, and
# says how each round went; a failed round's output is kept beside its build. ./test.sh builds
# the presets first.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10}
shift || true
spin() { while :; do :; done; }
spin &
spin &
trap 'kill $(jobs -p) 2>/dev/null' EXIT
echo "$(nproc) processors, two of them kept busy by $(jobs -p | xargs)"
status=0
for preset in ${*:-default asan}; do
    passed=0
    for round in $(seq "$rounds"); do
        started=$(date +%s)
        log=build$([ "$preset" = default ] || echo "-$preset")/under-load-$round.log
        # A skipped test is a failed one: CTest alone would pass the round.
        if ctest --preset "$preset" >"$log" 2>&1 && ! grep -q "(Skipped)" "$log"; then
            passed=$((passed + 1)) verdict=passed
            rm "$log"
        else
            verdict="failed: $(grep -E -o '[0-9]+ tests failed out of [0-9]+' "$log"), $(grep -c "(Skipped)" "$log") skipped, see $log"
            status=1
        fi
        echo "$preset, round $round: $verdict, $(($(date +%s) - started)) s"
    done
    echo "== $preset: $passed of $rounds rounds passed with two busy processes beside them"
done
exit $status

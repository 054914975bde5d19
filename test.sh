#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Checks the format and the licensing, then builds and runs every test (installing what is
# missing): once as usual, once under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# timer and window tests once more with the portable timer of Windows and macOS.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh

echo "== format and licensing"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
reuse lint --quiet || { reuse lint | tail -n 20; exit 1; }
echo "formatted; REUSE compliant"

for preset in default asan portable; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

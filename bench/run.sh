#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Builds the benchmarks (installing what is missing, Xvfb included) and prints their table:
# runs on the offscreen platform and under Xvfb, then start-up and memory. About four minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh xvfb xauth valgrind
cmake --preset default >/dev/null
cmake --build --preset default --target kiparano_bench kiparano_startup bare_startup label_startup
exec xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" ./build/bench/kiparano_bench

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Builds kiparano (installing what is missing) and launches it.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target kiparano
exec ./build/window/kiparano

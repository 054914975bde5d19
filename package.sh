#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Builds the Debian package (installing what is missing) and checks it with lintian.
# Install it with: sudo apt-get install ./build/kiparano_2.00.0010_amd64.deb
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh dpkg-dev lintian
cmake --preset default >/dev/null
cmake --build --preset default
(cd build && cpack -G DEB)
lintian --fail-on error build/kiparano_*.deb

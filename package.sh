#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Builds the Debian package (installing what is missing) and checks it with lintian.
# Install it with: sudo apt-get install ./build-package/kiparano_2.00.0010_amd64.deb
# The same commit gives the same bytes, dated by its own time (SOURCE_DATE_EPOCH, else the
# commit's): scripts/reproducible.sh deb builds it twice and compares.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh dpkg-dev lintian
cmake --preset package >/dev/null
cmake --build --preset package
(cd build-package && cpack -G DEB)
lintian --fail-on error build-package/kiparano_*.deb

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Builds the Debian package (installing what is missing) and checks it with lintian.
# Install it with: sudo apt-get install ./build-package/kiparano_2.00.0010_amd64.deb
# The same commit gives the same bytes, dated by its own time (SOURCE_DATE_EPOCH, else the
# commit's): scripts/reproducible.sh deb builds it twice and compares.
set -euo pipefail
cd "$(dirname "$0")"
# reuse lists our source file by file for the package's bill of materials.
bash scripts/install-deps.sh dpkg-dev lintian reuse
cmake --preset package >/dev/null
cmake --build --preset package
# The package's members are written with the modes the umask gives them: 0644, as dpkg-deb has.
(cd build-package && umask 022 && cpack -G DEB)
lintian --fail-on error build-package/kiparano_*.deb

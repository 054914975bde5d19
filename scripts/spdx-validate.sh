#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: scripts/spdx-validate.sh DOCUMENT.spdx...
# Validates SPDX documents with the SPDX project's own library, tools-golang, as Debian packages
# it (Debian 13 and later; installed if missing): tools/spdx-validate.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
bash "$project/scripts/install-deps.sh" --only golang-go golang-github-spdx-tools-golang-dev
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$project/tools/spdx-validate" && GOPATH=/usr/share/gocode GO111MODULE=off GOCACHE=$work \
    go build -o "$work/spdx-validate" .)
"$work/spdx-validate" "$@"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Usage: wine_checks.sh tst_window.exe planted.dll
# tst_window's runs, under Wine with a uiautomationcore.dll planted beside it: the planted DLL
# stays unloaded, and each run that ends reaches UI Automation with the text printed for it.
set -euo pipefail
run=$(realpath "$(dirname "$0")/../scripts/wine-run.sh") dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$1" "$dir/" && cp "$2" "$dir/uiautomationcore.dll"
(cd "$dir" && WINEDEBUG=fixme+uiautomation WINEDLLOVERRIDES="uiautomationcore=n,b;mscoree,mshtml=" \
    "$run" "./$(basename "$1")" announcedToUiAutomation >log 2>&1) || { cat "$dir/log"; exit 1; }
expected=$(sed -n 's/^announced: //p' "$dir/log" | tr -d '\r')
heard=$(sed -n 's/.*UiaRaiseNotificationEvent ([^"]*L"\(.*\)", L"").*/\1/p' "$dir/log" |
    perl -CS -pe 's/\\([0-9a-f]{4})/chr hex $1/ge')
loaded=$(ls "$dir/planted.loaded" 2>/dev/null || true)
printf 'expected:\n%s\nraised to UI Automation:\n%s\n%s\n' "$expected" "$heard" "${loaded:+the planted DLL was loaded}"
[ -n "$expected" ] && [ "$heard" = "$expected" ] && [ -z "$loaded" ]

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
#
# Usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]
# Runs a Windows program under Wine with Qt's environment variables: Wine keeps every QT_*
# variable from Windows programs, but passes on WINEQT_* as QT_*. CTest's emulator for the
# Windows build. A program started so has no console, so Qt would log, tests' output included,
# to the debugger: it logs to stderr, as in a console.
export QT_FORCE_STDERR_LOGGING=1
for variable in $(compgen -e); do
    case $variable in QT_*) export "WINE$variable=${!variable}" ;; esac
done
exec wine "$@"

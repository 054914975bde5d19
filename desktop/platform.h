// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// Choices about the platform and Qt's integration with it, made first thing in main(), before
// the QApplication exists; one twin per platform (platform_unix.cpp, platform_windows.cpp).
void preparePlatform();

// Names the application after QApplication exists and before the first window: its name
// (the X11 window class), its version, and its desktop entry (the Wayland app id), so that
// docks and task bars put the window under its launcher.
void identifyApplication();

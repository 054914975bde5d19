// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// What the window asks of the system it runs on. Each service keeps one name and one promise on
// every platform; where platforms differ, a twin file per platform (name_platform.cpp) sits
// beside the others, and the build takes the one that fits.
//
// - Waits (waits.h): a wait serves the window's events, a press and the whole run it starts
//   included, until its deadline on the monotonic clock, never earlier, and blocks meanwhile
//   without spinning. Its timer, DeadlineTimer (deadlinetimer.h), is a timerfd on Linux, a
//   high-resolution waitable timer on Windows, a precise QTimer elsewhere.
// - Bell (bell.h): one ring per call, after what was written before it, never holding up the
//   caller: the desktop's sound for a bell through libcanberra where the build has it, the
//   system's beep elsewhere.
// - Announcer (announcer.h): tells a screen reader a text once, wherever the focus is: Qt's
//   announcement event from Qt 6.8 on (AT-SPI, UI Automation), a notification that appears
//   before.
// - Platform set-up (platform.h): what must be settled before Qt starts, per platform, and the
//   application's identity, the same everywhere.

#include "announcer.h"
#include "bell.h"
#include "platform.h"
#include "waits.h"

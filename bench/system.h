// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// What the benchmark asks of the system, one implementation per platform, chosen by the build.

// The processor time this process has used so far, user and system, in seconds.
double cpuSeconds();

// How late a bare wait wakes, in ms: a 10 ms wait on the system's own timer, no Qt. The floor
// under every wait of ours, which adds Qt's dispatch and our own work to it; 0 where unknown.
double bareWaitLateMs();
// What that bare wait is, for the table.
const char *bareWait();

// The most memory this process has held at once (peak resident set, or working set), in kB.
long peakMemoryKb();

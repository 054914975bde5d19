// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// The processor time this process has used so far, user and system, in seconds; one
// implementation per platform, chosen by the build.
double cpuSeconds();

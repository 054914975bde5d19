// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// DeadlineTimer where the build has no system timer of its own for the platform: the precise
// QTimer, good to the millisecond.

#include "deadlinetimer_p.h"

std::unique_ptr<DeadlineTimer::System> DeadlineTimer::System::make(DeadlineTimer &)
{
    return nullptr;
}

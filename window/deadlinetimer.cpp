// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// What every platform's DeadlineTimer shares: the precise QTimer that stands in where the
// system's timer cannot be had, and the expiry.

#include "deadlinetimer.h"

using namespace std::chrono;

void DeadlineTimer::startFallback(Clock::time_point deadline)
{
    if (!m_fallback.isSingleShot()) {
        m_fallback.setSingleShot(true);
        m_fallback.setTimerType(Qt::PreciseTimer);
        connect(&m_fallback, &QTimer::timeout, this, &DeadlineTimer::fire);
    }
    m_fallback.start(ceil<milliseconds>(std::max(deadline - Clock::now(), Clock::duration(0))));
}

void DeadlineTimer::fire()
{
    m_active = false;
    Q_EMIT expired();
}

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The portable DeadlineTimer: a precise QTimer, good to the millisecond.

#include "deadlinetimer.h"

#include <thread>

using namespace std::chrono;

const DeadlineTimer::Clock::duration DeadlineTimer::wakeAhead = microseconds(200);

void DeadlineTimer::sleepUntil(Clock::time_point deadline)
{
    std::this_thread::sleep_until(deadline);
}

DeadlineTimer::DeadlineTimer(QObject *parent)
    : QObject(parent)
{
}

DeadlineTimer::~DeadlineTimer() = default;

void DeadlineTimer::start(Clock::time_point deadline)
{
    m_active = true;
    startFallback(deadline);
}

void DeadlineTimer::stop()
{
    m_active = false;
    m_fallback.stop();
}

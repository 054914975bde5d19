// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// DeadlineTimer on Windows: a waitable timer, high-resolution where Windows has that kind (10
// version 1803 and later), which the event loop watches through QWinEventNotifier.

#include "deadlinetimer.h"

#include <QWinEventNotifier>

#include <windows.h>

// Windows 10 version 1803 knows it; MinGW-w64 10's headers do not name it yet.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

using namespace std::chrono;

namespace {

HANDLE makeTimer()
{
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    return timer ? timer : CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

// Relative to now, in units of 100 ns, rounded up so that it never fires early.
LARGE_INTEGER dueIn(DeadlineTimer::Clock::duration left)
{
    LARGE_INTEGER due;
    due.QuadPart = -std::max<LONGLONG>(
        1, (duration_cast<nanoseconds>(std::max(left, DeadlineTimer::Clock::duration(0))).count() +
            99) /
               100);
    return due;
}

} // namespace

// The event loop learns of an expired waitable timer through a thread of the system's pool
// and a posted event, which costs about half a millisecond under Wine; a waitable timer
// waited for at once costs a fifth of that. A wait leaves the event loop a millisecond early
// and sleeps the rest on a timer of its own.
const DeadlineTimer::Clock::duration DeadlineTimer::wakeAhead = milliseconds(1);

void DeadlineTimer::sleepUntil(Clock::time_point deadline)
{
    static const HANDLE timer = makeTimer(); // waits run on the main thread alone
    if (!timer || Clock::now() >= deadline)
        return;
    const LARGE_INTEGER due = dueIn(deadline - Clock::now());
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
        WaitForSingleObject(timer, INFINITE);
}

DeadlineTimer::DeadlineTimer(QObject *parent)
    : QObject(parent)
{
    HANDLE timer = makeTimer();
    if (!timer)
        return; // the QTimer stands in
    m_handle = reinterpret_cast<qintptr>(timer);
    // Watched for as long as the timer lives; the timer resets as the watch sees it fire. The
    // watch tells the event loop in a posted event, which a restart of the timer cannot take
    // back: an expiry that comes before the deadline set last is an old one, or the timer's
    // clock ahead of ours, and the timer is armed again for what is left.
    auto *notifier = new QWinEventNotifier(timer, this);
    connect(notifier, &QWinEventNotifier::activated, this, [this] {
        if (!m_active)
            return;
        if (Clock::now() < m_deadline)
            return start(m_deadline);
        fire();
    });
    m_watch = notifier;
}

DeadlineTimer::~DeadlineTimer()
{
    if (m_handle < 0)
        return;
    delete m_watch; // stops watching the handle before it is closed
    CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

void DeadlineTimer::start(Clock::time_point deadline)
{
    m_active = true;
    m_deadline = deadline;
    if (m_handle < 0)
        return startFallback(deadline);
    const LARGE_INTEGER due = dueIn(deadline - Clock::now());
    SetWaitableTimer(reinterpret_cast<HANDLE>(m_handle), &due, 0, nullptr, nullptr, FALSE);
}

void DeadlineTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_handle < 0)
        return m_fallback.stop();
    CancelWaitableTimer(reinterpret_cast<HANDLE>(m_handle));
}

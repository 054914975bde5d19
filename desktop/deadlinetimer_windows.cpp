// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// DeadlineTimer on Windows: a waitable timer, high-resolution where Windows has that kind (10
// version 1803 and later), which the event loop watches through QWinEventNotifier.

#include "deadlinetimer_p.h"

#include <QWinEventNotifier>

#include <windows.h>

// Windows 10 version 1803 knows it; MinGW-w64 10's headers do not name it yet.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

using namespace std::chrono;
using Clock = DeadlineTimer::Clock;

namespace {

HANDLE makeTimer()
{
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    return timer ? timer : CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

// Sets `timer` for `deadline`, relative to now in units of 100 ns, rounded up so that it never
// fires early.
bool setTimer(HANDLE timer, Clock::time_point deadline)
{
    const auto left = std::max(deadline - Clock::now(), Clock::duration(0));
    LARGE_INTEGER due;
    due.QuadPart = -std::max<LONGLONG>(1, (duration_cast<nanoseconds>(left).count() + 99) / 100);
    return SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
}

class WaitableTimer final : public DeadlineTimer::System {
public:
    WaitableTimer(DeadlineTimer &owner, HANDLE timer)
        : System(owner),
          m_timer{timer},
          m_watch(timer)
    {
        // Watched for as long as the timer lives; the timer resets as the watch sees it fire.
        // The watch tells the event loop in a posted event, which a new setting of the timer
        // cannot take back: an expiry that comes before the deadline set last is an old one,
        // or the timer's clock ahead of ours, and the timer is armed again for what is left.
        QObject::connect(&m_watch, &QWinEventNotifier::activated, &m_watch, [this] {
            if (!m_armed)
                return;
            if (Clock::now() < m_deadline)
                return arm(m_deadline);
            m_armed = false;
            expire();
        });
    }

    void arm(Clock::time_point deadline) override
    {
        m_armed = true;
        m_deadline = deadline;
        setTimer(m_timer.handle, deadline);
    }
    void disarm() override
    {
        m_armed = false;
        CancelWaitableTimer(m_timer.handle);
    }

    // The event loop learns of an expired waitable timer through a thread of the system's pool
    // and a posted event, which costs about half a millisecond under Wine; a waitable timer
    // waited for at once costs a fifth of that. A wait leaves the event loop a millisecond
    // early and sleeps the rest on a timer of its own.
    Clock::duration wakeAhead() const override { return milliseconds(1); }
    void sleepUntil(Clock::time_point deadline) const override
    {
        static const HANDLE sleeper = makeTimer(); // waits run on the main thread alone
        if (sleeper && Clock::now() < deadline && setTimer(sleeper, deadline))
            WaitForSingleObject(sleeper, INFINITE);
    }

private:
    struct Handle {
        HANDLE handle;
        ~Handle() { CloseHandle(handle); }
    } m_timer;
    QWinEventNotifier m_watch; // stops watching before the handle is closed
    Clock::time_point m_deadline;
    bool m_armed = false;
};

} // namespace

std::unique_ptr<DeadlineTimer::System> DeadlineTimer::System::make(DeadlineTimer &owner)
{
    HANDLE timer = makeTimer();
    return timer ? std::make_unique<WaitableTimer>(owner, timer) : nullptr;
}

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include "deadlinetimer.h"

#include <thread>

// What a platform's own timer gives DeadlineTimer. Each platform's file defines make(); the
// precise QTimer of deadlinetimer.cpp stands in where it gives none.
class DeadlineTimer::System {
public:
    using Clock = DeadlineTimer::Clock;

    // The platform's timer for `owner`, or null where it has none or cannot make one.
    static std::unique_ptr<System> make(DeadlineTimer &owner);

    explicit System(DeadlineTimer &owner)
        : m_owner(owner)
    {
    }
    virtual ~System() = default;

    // Arms the timer for `deadline`, dropping any earlier setting and an expiry of it that has
    // not been told yet.
    virtual void arm(Clock::time_point deadline) = 0;
    virtual void disarm() = 0;

    // A plain sleep is as precise as the timer, and a fifth of a millisecond spares a dispatch.
    virtual Clock::duration wakeAhead() const { return std::chrono::microseconds(200); }
    virtual void sleepUntil(Clock::time_point deadline) const
    {
        std::this_thread::sleep_until(deadline);
    }

protected:
    // The timer has fired: the owner emits expired() if it is still armed.
    void expire() { m_owner.fire(); }

private:
    DeadlineTimer &m_owner;
};

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>

#include <chrono>
#include <memory>

// A single-shot timer for an absolute deadline on the monotonic clock. It runs on the system's
// own timer where the build has one for the platform (deadlinetimer_linux.cpp: a timerfd, good
// to the microsecond; deadlinetimer_windows.cpp: a high-resolution waitable timer) and on a
// precise QTimer elsewhere or where that timer cannot be made: good to the millisecond, rounded
// up so that it never fires before the deadline.
class DeadlineTimer : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    explicit DeadlineTimer(QObject *parent = nullptr);
    ~DeadlineTimer() override;

    // Arms the timer, replacing any earlier deadline.
    void start(Clock::time_point deadline);
    // Disarms it: expired() is not emitted for the deadline set last.
    void stop();
    bool isActive() const { return m_active; }

    // How long before a deadline a wait should leave the event loop and sleep the rest
    // (sleepUntil): waking through the event loop costs a dispatch that a plain sleep does not.
    Clock::duration wakeAhead() const;
    // Sleeps, serving nothing, until `deadline`, as precisely as the system's timer allows.
    void sleepUntil(Clock::time_point deadline) const;

    // The system's timer behind a DeadlineTimer, one kind per platform (deadlinetimer_*.cpp).
    class System;

Q_SIGNALS:
    void expired();

private:
    void fire();

    bool m_active = false;
    std::unique_ptr<System> m_system;
};

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// A single-shot timer for an absolute deadline on the monotonic clock, one implementation per
// platform, chosen by the build: on Linux a timerfd (deadlinetimer_linux.cpp), good to the
// microsecond; on Windows a high-resolution waitable timer (deadlinetimer_windows.cpp); elsewhere
// a precise QTimer (deadlinetimer_qtimer.cpp), good to the millisecond, rounded up so it never
// fires before the deadline. Where the system timer cannot be made, the QTimer stands in.
class DeadlineTimer : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    // How long before a deadline a wait should leave the event loop and sleep the rest
    // (sleepUntil): waking through the event loop costs a dispatch that a plain sleep does not.
    static const Clock::duration wakeAhead;
    // Sleeps, serving nothing, until `deadline`, as precisely as the system's timer allows.
    static void sleepUntil(Clock::time_point deadline);

    explicit DeadlineTimer(QObject *parent = nullptr);
    ~DeadlineTimer() override;

    // Arms the timer, replacing any earlier deadline.
    void start(Clock::time_point deadline);
    // Disarms it: expired() is not emitted for the deadline set last.
    void stop();
    bool isActive() const { return m_active; }

Q_SIGNALS:
    void expired();

private:
    void fire();
    void startFallback(Clock::time_point deadline);

    bool m_active = false;
    Clock::time_point m_deadline; // the one set last, where the platform needs to know it
    qintptr m_handle = -1;        // the system's timer: a descriptor or a handle
    QObject *m_watch = nullptr;   // what tells the event loop that it fired
    QTimer m_fallback;
};

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include "pace.h"

#include <QObject>

#include <chrono>
#include <vector>

class DeadlineTimer;
class QEventLoop;

// Waits that serve the window's events until their deadline on the monotonic clock. A wait runs
// a nested event loop, so whatever an event starts inside it (a press, and with it a whole run
// with waits of its own one level deeper) runs there to its end before the wait goes on. Each
// level keeps a DeadlineTimer of its own, made at its first wait and kept for the next.
//
// Waits keep a run's pace (pace.h): neither a late timer nor the work between two waits adds up
// over a run.
class Waits : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    explicit Waits(QObject *parent = nullptr);
    ~Waits() override;

    // Serves events until the deadline that the pace gives a wait of `delay`, and at least those
    // already pending. False once cancel() was called, and when this object was deleted
    // meanwhile: the caller must then touch nothing that goes with it.
    [[nodiscard]] bool wait(Clock::duration delay);

    // Ends every wait in progress, which returns false, and makes every later one return false
    // at once.
    void cancel();
    bool cancelled() const { return m_cancelled; }

private:
    DeadlineTimer &timerOfLevel(std::size_t level);

    std::vector<QEventLoop *> m_loops;     // innermost last
    std::vector<DeadlineTimer *> m_timers; // by level
    Pace m_pace;
    bool m_cancelled = false;
};

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

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
// Waits keep a run's pace: a wait's deadline is the deadline of the wait before it plus its
// delay, so neither a timer that ends each wait a little late nor the work between two waits
// adds up over a run. Only a lateness of up to `paceSlack` is made up: a wait held up longer,
// by a run nested in it or a stalled machine, starts the pace afresh from the moment the next
// wait begins, so that the run goes on at its normal pace rather than rushing to catch up.
class Waits : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    // The most lateness a wait makes up: above what a coarse timer (Wine rounds each wait up to
    // a whole millisecond) and a frame's drawing add to a wait, and at most half the shortest
    // frame (10 ms), so that a frame that makes up for the one before still shows for at least
    // half its time.
    static constexpr Clock::duration paceSlack = std::chrono::milliseconds(5);

    explicit Waits(QObject *parent = nullptr);
    ~Waits() override;

    // Serves events until `delay` after the deadline of the wait before it, or after now (see
    // above), and at least those already pending. False once cancel() was called, and when this
    // object was deleted meanwhile: the caller must then touch nothing that goes with it.
    [[nodiscard]] bool wait(Clock::duration delay);

    // Ends every wait in progress, which returns false, and makes every later one return false
    // at once.
    void cancel();
    bool cancelled() const { return m_cancelled; }

private:
    DeadlineTimer &timerOfLevel(std::size_t level);

    std::vector<QEventLoop *> m_loops;     // innermost last
    std::vector<DeadlineTimer *> m_timers; // by level
    Clock::time_point m_paceDeadline;      // that of the wait begun or ended last
    bool m_cancelled = false;
};

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <algorithm>
#include <chrono>

// Where the waits of a run lie on the monotonic clock. A wait's deadline is the deadline of the
// wait before it plus its delay, so neither a timer that ends each wait a little late nor the
// work between two waits adds up over a run. Only a lateness of up to `slack` is made up: a wait
// that begins later than that after the deadline before it (held up by a run nested in it, or a
// stalled machine), or before it (a wait nested in another, whose deadline is still ahead),
// starts the pace afresh from its own start, so that a run goes on at its normal pace rather
// than rushing to catch up. Arithmetic on the clock's readings and nothing else: the tests
// drive it with a clock of their own.
class Pace {
public:
    using Clock = std::chrono::steady_clock;

    // The most lateness a wait makes up: above what a coarse timer (Wine rounds each wait up to
    // a whole millisecond) and a frame's drawing add to a wait, and at most half the shortest
    // frame (10 ms), so that a frame that makes up for the one before still shows for at least
    // half its time.
    static constexpr Clock::duration slack = std::chrono::milliseconds(5);

    // The deadline of a wait of `delay` that begins at `now`, never before `now`; the next wait
    // follows it, until ended() says otherwise.
    Clock::time_point begin(Clock::time_point now, Clock::duration delay)
    {
        const Clock::duration late = now - m_deadline;
        const bool kept = late >= Clock::duration::zero() && late <= slack;
        return m_deadline = std::max((kept ? m_deadline : now) + delay, now);
    }

    // The wait with this deadline has ended: the next wait follows it, not a wait nested in it.
    void ended(Clock::time_point deadline) { m_deadline = deadline; }

private:
    Clock::time_point m_deadline; // of the wait begun or ended last
};

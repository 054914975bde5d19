// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "waits.h"

#include "deadlinetimer.h"

#include <QEventLoop>
#include <QPointer>

Waits::Waits(QObject *parent)
    : QObject(parent)
{
}

Waits::~Waits()
{
    cancel();
}

bool Waits::wait(Clock::duration delay)
{
    const Clock::time_point deadline = m_pace.begin(Clock::now(), delay);
    QPointer<Waits> self(this);
    QEventLoop loop;
    DeadlineTimer &timer = timerOfLevel(m_loops.size());

    m_loops.push_back(&loop);
    // Whatever is pending is served, however short the wait.
    loop.processEvents(QEventLoop::AllEvents);
    for (;;) {
        if (!self)
            return false; // gone: touch nothing of it
        if (m_cancelled)
            break;
        // Ends in a plain sleep this close to the deadline (a fifth of a millisecond on Linux,
        // one on Windows): events that come in meanwhile are served at the start of the next
        // wait, that much later, far below anything a user notices.
        if (deadline - Clock::now() <= timer.wakeAhead()) {
            timer.sleepUntil(deadline);
            break;
        }
        if (!timer.isActive())
            timer.start(deadline - timer.wakeAhead());
        loop.exec();
        if (self && timer.isActive() && !m_cancelled)
            cancel(); // the loop was ended from outside: the application is leaving
    }
    timer.stop();
    m_loops.pop_back();
    m_pace.ended(deadline);
    return !m_cancelled;
}

void Waits::cancel()
{
    m_cancelled = true;
    for (QEventLoop *loop : m_loops)
        loop->quit();
}

DeadlineTimer &Waits::timerOfLevel(std::size_t level)
{
    // Making a timer for every wait would cost a descriptor and its registration with the
    // event loop every frame.
    while (m_timers.size() <= level) {
        auto *timer = new DeadlineTimer(this);
        connect(timer, &DeadlineTimer::expired, this, [this, level = m_timers.size()] {
            if (level < m_loops.size())
                m_loops[level]->quit();
        });
        m_timers.push_back(timer);
    }
    return *m_timers[level];
}

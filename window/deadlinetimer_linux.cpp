// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// DeadlineTimer on Linux: a timerfd on CLOCK_MONOTONIC, steady_clock's clock here.

#include "deadlinetimer.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <thread>

using namespace std::chrono;

// A sleep here is as precise as the timer, and a fifth of a millisecond spares a dispatch.
const DeadlineTimer::Clock::duration DeadlineTimer::wakeAhead = microseconds(200);

void DeadlineTimer::sleepUntil(Clock::time_point deadline)
{
    std::this_thread::sleep_until(deadline);
}

DeadlineTimer::DeadlineTimer(QObject *parent)
    : QObject(parent)
{
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0)
        return; // the QTimer stands in
    m_handle = fd;
    // Watched for as long as the timer lives: a disarmed timerfd is never readable, and
    // turning the watch on and off would wake the event loop twice a wait.
    auto *notifier = new QSocketNotifier(m_handle, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        quint64 expirations = 0;
        if (::read(int(m_handle), &expirations, sizeof expirations) == sizeof expirations &&
            m_active)
            fire();
    });
    m_watch = notifier;
}

DeadlineTimer::~DeadlineTimer()
{
    if (m_handle < 0)
        return;
    delete m_watch; // stops watching the descriptor before it is closed
    ::close(int(m_handle));
}

void DeadlineTimer::start(Clock::time_point deadline)
{
    m_active = true;
    if (m_handle < 0)
        return startFallback(deadline);
    // Armed relative to now rather than at the absolute time: the same to the microsecond
    // here, and left alone by libraries that shift absolute times (libfaketime in tests).
    const auto left = std::max(deadline - Clock::now(), Clock::duration(1)); // 0 disarms
    itimerspec timeout{};
    timeout.it_value.tv_sec = time_t(duration_cast<seconds>(left).count());
    timeout.it_value.tv_nsec = long((left % seconds(1)) / nanoseconds(1));
    timerfd_settime(int(m_handle), 0, &timeout, nullptr); // a new setting drops an unread expiry
}

void DeadlineTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_handle < 0)
        return m_fallback.stop();
    const itimerspec disarmed{};
    timerfd_settime(int(m_handle), 0, &disarmed, nullptr);
}

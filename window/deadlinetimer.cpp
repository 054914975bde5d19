// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "deadlinetimer.h"

#include <QSocketNotifier>

// A build can take the portable path on Linux too, to test it (KIPARANO_PORTABLE_TIMER).
#if defined(Q_OS_LINUX) && !defined(KIPARANO_PORTABLE_TIMER)
#define KIPARANO_TIMERFD
#include <sys/timerfd.h>
#include <unistd.h>
#endif

using namespace std::chrono;

DeadlineTimer::DeadlineTimer(QObject *parent)
    : QObject(parent)
{
#ifdef KIPARANO_TIMERFD
    // steady_clock is CLOCK_MONOTONIC here, the timerfd's clock.
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        // Watched for as long as the timer lives: a disarmed timerfd is never readable, and
        // turning the watch on and off would wake the event loop twice a wait.
        m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            quint64 expirations = 0;
            if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations && m_active)
                fire();
        });
        return;
    }
#endif
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &DeadlineTimer::fire);
}

DeadlineTimer::~DeadlineTimer()
{
#ifdef KIPARANO_TIMERFD
    if (m_fd >= 0) {
        delete m_notifier; // stops watching the descriptor before it is closed
        ::close(m_fd);
    }
#endif
}

void DeadlineTimer::start(Clock::time_point deadline)
{
    m_active = true;
#ifdef KIPARANO_TIMERFD
    if (m_fd >= 0) {
        // Armed relative to now rather than at the absolute time: the same to the microsecond
        // here, and left alone by libraries that shift absolute times (libfaketime in tests).
        const auto left = std::max(deadline - Clock::now(), Clock::duration(1)); // 0 disarms
        itimerspec timeout{};
        timeout.it_value.tv_sec = time_t(duration_cast<seconds>(left).count());
        timeout.it_value.tv_nsec = long((left % seconds(1)) / nanoseconds(1));
        timerfd_settime(m_fd, 0, &timeout, nullptr); // a new setting drops an unread expiry
        return;
    }
#endif
    m_fallback.start(ceil<milliseconds>(std::max(deadline - Clock::now(), Clock::duration(0))));
}

void DeadlineTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
#ifdef KIPARANO_TIMERFD
    if (m_fd >= 0) {
        const itimerspec disarmed{};
        timerfd_settime(m_fd, 0, &disarmed, nullptr);
        return;
    }
#endif
    m_fallback.stop();
}

void DeadlineTimer::fire()
{
    m_active = false;
    Q_EMIT expired();
}

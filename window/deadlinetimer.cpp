// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "deadlinetimer.h"

#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

using namespace std::chrono;

DeadlineTimer::DeadlineTimer(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_LINUX
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
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        delete m_notifier; // stops watching the descriptor before it is closed
        ::close(m_fd);
    }
#endif
}

void DeadlineTimer::start(Clock::time_point deadline)
{
    m_active = true;
#ifdef Q_OS_LINUX
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
#ifdef Q_OS_LINUX
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

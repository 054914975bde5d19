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
        m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
        m_notifier->setEnabled(false);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            quint64 expirations = 0;
            [[maybe_unused]] const auto cleared = ::read(m_fd, &expirations, sizeof expirations);
            if (m_active)
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
        timerfd_settime(m_fd, 0, &timeout, nullptr);
        m_notifier->setEnabled(true);
        return;
    }
#endif
    m_fallback.start(ceil<milliseconds>(std::max(deadline - Clock::now(), Clock::duration(0))));
}

void DeadlineTimer::fire()
{
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_active = false;
    Q_EMIT expired();
}

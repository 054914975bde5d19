// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// DeadlineTimer on Linux: a timerfd on CLOCK_MONOTONIC, steady_clock's clock here.

#include "deadlinetimer_p.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

using namespace std::chrono;

namespace {

class Timerfd final : public DeadlineTimer::System {
public:
    Timerfd(DeadlineTimer &owner, int descriptor)
        : System(owner),
          m_descriptor{descriptor},
          m_watch(descriptor, QSocketNotifier::Read)
    {
        // Watched for as long as the timer lives: a disarmed timerfd is never readable, and
        // turning the watch on and off would wake the event loop twice a wait.
        QObject::connect(&m_watch, &QSocketNotifier::activated, &m_watch, [this] {
            quint64 expirations = 0;
            if (::read(m_descriptor.fd, &expirations, sizeof expirations) == sizeof expirations)
                expire();
        });
    }

    void arm(Clock::time_point deadline) override
    {
        // Armed relative to now rather than at the absolute time: the same to the microsecond
        // here, and left alone by libraries that shift absolute times (libfaketime in tests).
        const auto left = std::max(deadline - Clock::now(), Clock::duration(1)); // 0 disarms
        itimerspec timeout{};
        timeout.it_value.tv_sec = time_t(duration_cast<seconds>(left).count());
        timeout.it_value.tv_nsec = long((left % seconds(1)) / nanoseconds(1));
        set(timeout); // a new setting drops an unread expiry
    }
    void disarm() override { set(itimerspec{}); }

private:
    void set(const itimerspec &timeout) { timerfd_settime(m_descriptor.fd, 0, &timeout, nullptr); }

    struct Descriptor {
        int fd;
        ~Descriptor() { ::close(fd); }
    } m_descriptor;
    QSocketNotifier m_watch; // stops watching before the descriptor is closed
};

} // namespace

std::unique_ptr<DeadlineTimer::System> DeadlineTimer::System::make(DeadlineTimer &owner)
{
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    return fd < 0 ? nullptr : std::make_unique<Timerfd>(owner, fd);
}

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

class QSocketNotifier;

// A single-shot timer for an absolute deadline on the monotonic clock. On Linux it is a
// timerfd, good to the microsecond; elsewhere a precise QTimer, good to the millisecond,
// rounded up so it never fires before the deadline.
class DeadlineTimer : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

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

    bool m_active = false;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_fallback;
};

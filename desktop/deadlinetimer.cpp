// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// What every platform's DeadlineTimer shares: the interface over the system's timer, and the
// precise QTimer that stands in where the platform gives none.

#include "deadlinetimer_p.h"

#include <QTimer>

using namespace std::chrono;

namespace {

class PreciseQTimer final : public DeadlineTimer::System {
public:
    explicit PreciseQTimer(DeadlineTimer &owner)
        : System(owner)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { expire(); });
    }

    void arm(Clock::time_point deadline) override
    {
        m_timer.start(ceil<milliseconds>(std::max(deadline - Clock::now(), Clock::duration(0))));
    }
    void disarm() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

} // namespace

DeadlineTimer::DeadlineTimer(QObject *parent)
    : QObject(parent),
      m_system(System::make(*this))
{
    if (!m_system)
        m_system = std::make_unique<PreciseQTimer>(*this);
}

DeadlineTimer::~DeadlineTimer() = default;

void DeadlineTimer::start(Clock::time_point deadline)
{
    m_active = true;
    m_system->arm(deadline);
}

void DeadlineTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    m_system->disarm();
}

DeadlineTimer::Clock::duration DeadlineTimer::wakeAhead() const
{
    return m_system->wakeAhead();
}

void DeadlineTimer::sleepUntil(Clock::time_point deadline) const
{
    m_system->sleepUntil(deadline);
}

void DeadlineTimer::fire()
{
    if (!m_active)
        return;
    m_active = false;
    Q_EMIT expired();
}

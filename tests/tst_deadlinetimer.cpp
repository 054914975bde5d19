// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "window/deadlinetimer.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <optional>
#include <thread>

using namespace std::chrono;
using Clock = DeadlineTimer::Clock;

class TestDeadlineTimer : public QObject {
    Q_OBJECT

    // Serves events until the timer expires or `limit` has passed; returns when it expired.
    static std::optional<Clock::time_point> expiry(DeadlineTimer &timer, milliseconds limit)
    {
        std::optional<Clock::time_point> at;
        QEventLoop loop;
        const auto connection = connect(&timer, &DeadlineTimer::expired, &loop, [&] {
            at = Clock::now();
            loop.quit();
        });
        QTimer::singleShot(limit, &loop, &QEventLoop::quit);
        loop.exec();
        disconnect(connection);
        return at;
    }

private Q_SLOTS:
    // The timer is reused wait after wait: an expiry left unread when it was stopped or armed
    // again must never end the next wait early.
    void neverBeforeItsDeadline_data()
    {
        QTest::addColumn<int>("firstUs");  // the earlier setting, < 0 for none
        QTest::addColumn<bool>("lapse");   // let the earlier setting expire unread
        QTest::addColumn<bool>("stopped"); // stop() before arming again
        QTest::addColumn<int>("deadlineUs");
        QTest::addRow("fresh, 0.2 ms") << -1 << false << false << 200;
        QTest::addRow("re-armed earlier before it expired") << 30'000 << false << false << 5'000;
        QTest::addRow("re-armed after an unread expiry") << 500 << true << false << 30'000;
        QTest::addRow("stopped after an unread expiry") << 500 << true << true << 30'000;
    }
    void neverBeforeItsDeadline()
    {
        QFETCH(int, firstUs);
        QFETCH(bool, lapse);
        QFETCH(bool, stopped);
        QFETCH(int, deadlineUs);
        DeadlineTimer timer;
        if (firstUs >= 0)
            timer.start(Clock::now() + microseconds(firstUs));
        if (lapse) // no event served: the expiry stays unread
            std::this_thread::sleep_for(microseconds(firstUs) + milliseconds(3));
        if (stopped) {
            timer.stop();
            QVERIFY(!timer.isActive() && !expiry(timer, milliseconds(40)));
        }
        const auto deadline = Clock::now() + microseconds(deadlineUs);
        timer.start(deadline);
        const auto at = expiry(timer, milliseconds(1'000));
        QVERIFY(at && *at >= deadline && !timer.isActive());
        QVERIFY(!expiry(timer, milliseconds(40))); // once per setting
    }
};

QTEST_GUILESS_MAIN(TestDeadlineTimer)
#include "tst_deadlinetimer.moc"

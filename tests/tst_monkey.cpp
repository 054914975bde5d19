// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The real window under hostile timing. Random sessions: presses by mouse and keyboard landing
// in spins and pauses at every depth, up to and beyond the nesting bound, and a close at a
// random moment or none; waits take no time and every action answers a label write, so a
// session replays exactly from its seed. MONKEY_SESSIONS=N runs N sessions (a soak),
// MONKEY_SEED=S starts from seed S. Then a close in every wait of every game.

#include "monitor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <random>

namespace {

// A window that is closed as its wait number `wait` begins.
struct ClosingInWait : kiparano {
    explicit ClosingInWait(int wait)
        : left(wait)
    {
        setTimeScale(0);
    }
    void wait(double seconds) override
    {
        if (--left == 0)
            monitor.closed = true, close();
        kiparano::wait(seconds);
    }
    int left;
    Monitor monitor{*this};
};

// A long soak runs far past Qt Test's five minutes for one test function.
[[maybe_unused]] const bool soakTimeout = qEnvironmentVariableIsSet("MONKEY_SESSIONS") &&
                                          !qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT") &&
                                          qputenv("QTEST_FUNCTION_TIMEOUT", "604800000");

// One session; returns what went wrong, and counts presses ignored at the bound and closes.
QStringList session(quint64 seed, int &ignored, int &closes)
{
    std::mt19937_64 rng(seed);
    kiparano w;
    w.setTimeScale(0);
    Monitor monitor(w);
    w.show();
    w.activateWindow();
    const QList<QPushButton *> buttons = w.findChildren<QPushButton *>();
    QStringList problems;
    const quint64 pressOneIn = std::array{1000, 100, 20, 3}[rng() % 4];
    int budget = int(rng() % std::array{4, 31, 301}[rng() % 3]), pending = 0;
    const int closeAt = rng() % 2 ? int(rng() % 1500) : -1;
    QElapsedTimer sinceClose;

    const auto queue = [&](auto f) {
        ++pending;
        QMetaObject::invokeMethod(
            &w, [&, f] { --pending, f(); }, Qt::QueuedConnection);
    };
    const auto act = [&] {
        const int kind = int(rng() % 6), depth = w.runDepth(), writes = monitor.writes;
        QWidget *focus = w.focusWidget() ? w.focusWidget() : &w;
        if (monitor.closed)
            return;
        if (kind < 4)
            QTest::mouseClick(buttons[kind], Qt::LeftButton);
        else
            QTest::keyClick(focus, kind == 4 ? Qt::Key_Tab : Qt::Key_Space);
        if (kind != 4 && depth == kiparano::maxNestedRuns &&
            (++ignored, monitor.writes != writes || w.runDepth() != depth))
            problems << QStringLiteral("a press beyond the bound did something");
    };
    QObject::connect(&w, &kiparano::textWritten, &w, [&] {
        if (monitor.writes == closeAt)
            queue([&] {
                ++closes, monitor.closed = true;
                sinceClose.start();
                w.close();
            });
        if (budget > 0 && rng() % pressOneIn == 0 && budget--)
            queue(act);
    });
    queue(act);
    while (pending > 0)
        QCoreApplication::processEvents();

    if (monitor.closed && sinceClose.elapsed() > 100)
        problems << QStringLiteral("runs ended %1 ms after the close").arg(sinceClose.elapsed());
    if (w.runDepth() != 0 || monitor.deepest > kiparano::maxNestedRuns)
        problems << QStringLiteral("runs open at the end, or nested too deep");
    return problems + monitor.failures;
}

} // namespace

class TestMonkey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void sessions()
    {
#ifdef __SANITIZE_ADDRESS__
        const int defaultSessions = 600; // a session costs about three times as much
#else
        const int defaultSessions = 1500;
#endif
        const int count = qEnvironmentVariableIsSet("MONKEY_SESSIONS")
                              ? qEnvironmentVariableIntValue("MONKEY_SESSIONS")
                              : defaultSessions;
        const quint64 first =
            qEnvironmentVariable("MONKEY_SEED", QStringLiteral("1")).toULongLong();
        int ignored = 0, closes = 0;
        QElapsedTimer clock;
        clock.start();
        for (quint64 seed = first; seed < first + quint64(count); ++seed) {
            const QStringList problems = session(seed, ignored, closes);
            QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("seed %1: ").arg(seed) +
                                                    problems.mid(0, 5).join(u"; ")));
        }
        qInfo("%d sessions in %lld ms, %d closes, %d presses ignored at the bound", count,
              clock.elapsed(), closes, ignored);
        QVERIFY(count < 100 || (closes > 0 && ignored > 0));
    }

    // A close in wait i, for every wait of every game: nothing is written after it, no beep
    // sounds, and every run has ended when the press returns.
    void closeInEveryWait()
    {
        for (const char *name : {"roto6", "miniroto", "Numbers3", "Numbers4"})
            for (int i = 1;; ++i) {
                ClosingInWait w(i);
                w.findChild<QPushButton *>(QLatin1String(name))->click();
                QVERIFY2(w.monitor.failures.isEmpty(), qPrintable(w.monitor.failures.join(u"; ")));
                QCOMPARE(w.runDepth(), 0);
                QCOMPARE(w.monitor.completed.size(), w.monitor.closed ? 0 : 1);
                if (!w.monitor.closed)
                    break; // i was past the last wait
            }
    }
};

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"

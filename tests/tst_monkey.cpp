// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Random sessions against the real window: presses of the four buttons by mouse and by
// keyboard (Tab, Space) arriving inside spins and pauses at every depth, up to and beyond the
// nesting bound, and a close at a random moment or none. Waits take no time here, and every
// action is queued in reply to a label write, so each session replays exactly from its seed.
//
// MONKEY_SESSIONS=N runs N sessions (a soak); MONKEY_SEED=S starts from seed S.

#include "monitor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <random>

namespace {

// Under the sanitizers a session costs about three times as much.
#ifdef __SANITIZE_ADDRESS__
constexpr int defaultSessions = 600;
#else
constexpr int defaultSessions = 1500;
#endif

struct Totals {
    int sessions = 0, mouse = 0, keys = 0, ignored = 0, closes = 0, runs = 0, atBound = 0;
};

// One session; returns what went wrong, empty if nothing.
QStringList session(quint64 seed, Totals &totals)
{
    std::mt19937_64 rng(seed);
    const auto chance = [&](double p) { return std::uniform_real_distribution<>(0, 1)(rng) < p; };
    const auto upTo = [&](int n) { return int(rng() % quint64(n + 1)); };

    kiparano w;
    w.setTimeScale(0);
    Monitor monitor(w);
    w.show();
    w.activateWindow();
    const QList<QPushButton *> buttons = w.findChildren<QPushButton *>();
    QStringList problems;

    const double pressChance = std::array{0.001, 0.01, 0.05, 0.3}[rng() % 4];
    int budget = upTo(std::array{3, 30, 300}[rng() % 3]);
    const int closeAt = chance(0.5) ? upTo(1500) : -1;
    bool closed = false;
    int pending = 0;
    QElapsedTimer sinceClose;

    // A press through `press`; at the bound it must change nothing.
    const auto guarded = [&](auto press) {
        const int depth = w.runDepth(), writes = monitor.writes();
        press();
        if (depth == kiparano::maxNestedRuns) {
            ++totals.ignored;
            if (monitor.writes() != writes || w.runDepth() != depth)
                problems.append(QStringLiteral("a press beyond the bound did something"));
        }
    };
    const auto act = [&] {
        --pending;
        if (closed)
            return;
        const int kind = upTo(5);
        if (kind < 4) {
            ++totals.mouse;
            guarded([&] { QTest::mouseClick(buttons[kind], Qt::LeftButton); });
            return;
        }
        ++totals.keys;
        QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
        if (kind == 4)
            QTest::keyClick(focus, Qt::Key_Tab);
        else
            guarded([&] { QTest::keyClick(focus, Qt::Key_Space); });
    };
    const auto queue = [&](auto f) {
        ++pending;
        QMetaObject::invokeMethod(&w, f, Qt::QueuedConnection);
    };
    QObject::connect(&w, &kiparano::textWritten, &w, [&] {
        if (monitor.writes() == closeAt)
            queue([&] {
                --pending;
                ++totals.closes;
                monitor.closing();
                closed = true;
                sinceClose.start();
                w.close();
            });
        if (budget > 0 && chance(pressChance)) {
            --budget;
            queue(act);
        }
    });

    queue(act);
    while (pending > 0)
        QCoreApplication::processEvents();

    if (closed && sinceClose.elapsed() > 100)
        problems.append(
            QStringLiteral("runs took %1 ms to end after the close").arg(sinceClose.elapsed()));
    if (w.runDepth() != 0)
        problems.append(QStringLiteral("runs still open at the end"));
    if (monitor.deepest > kiparano::maxNestedRuns)
        problems.append(QStringLiteral("nested %1 deep").arg(monitor.deepest));
    totals.atBound += monitor.deepest == kiparano::maxNestedRuns;
    totals.runs += monitor.completedRuns;
    ++totals.sessions;
    return problems + monitor.failures;
}

} // namespace

class TestMonkey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void sessions()
    {
        const int count = qEnvironmentVariableIsSet("MONKEY_SESSIONS")
                              ? qEnvironmentVariableIntValue("MONKEY_SESSIONS")
                              : defaultSessions;
        const quint64 first = qEnvironmentVariableIsSet("MONKEY_SEED")
                                  ? qEnvironmentVariable("MONKEY_SEED").toULongLong()
                                  : 1;
        Totals totals;
        QElapsedTimer clock;
        clock.start();
        for (quint64 seed = first; seed < first + quint64(count); ++seed) {
            const QStringList problems = session(seed, totals);
            QVERIFY2(
                problems.isEmpty(),
                qPrintable(
                    QStringLiteral("seed %1: %2").arg(seed).arg(problems.mid(0, 5).join(u"; "))));
        }
        qInfo("%d sessions in %lld ms: %d mouse presses, %d keys, %d presses ignored at the "
              "bound, %d closes, %d runs completed, %d sessions reached the bound",
              totals.sessions, clock.elapsed(), totals.mouse, totals.keys, totals.ignored,
              totals.closes, totals.runs, totals.atBound);
        QVERIFY(totals.atBound > 0 && totals.closes > 0 && totals.ignored > 0);
    }
};

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The real window under hostile timing: random sessions of presses landing in spins and pauses
// at every depth up to and beyond the nesting bound, and a close at a random moment or none,
// each replaying exactly from its seed (MONKEY_SESSIONS=N runs N, MONKEY_SEED=S starts at S).

#include "core/cheer.h"
#include "window/kiparano.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <random>
#include <set>

using namespace Qt::StringLiterals;

namespace {

// Each game: its button, its title and its proposal's rule.
const struct Game {
    const char *button;
    const char16_t *title;
    int boxes, upper, lower;
} games[] = {{"roto6", u"ロト6の予想です", 6, 43, 1},
             {"miniroto", u"ミニロトの予想です!", 5, 31, 1},
             {"Numbers3", u"Numbers3の予想だよ", 3, 9, 0},
             {"Numbers4", u"Numbers4の予想です", 4, 9, 0}};

// A window that checks itself (a run is the game of the button pressed for it; each write
// belongs to the innermost run, which ends with its beep on a valid proposal and a final
// message; nothing is written once closed) and closes itself after its label write number
// `closeAfterWrite`.
struct Watched : kiparano {
    explicit Watched(int closeAfterWrite)
    {
        setTimeScale(0);
        connect(this, &kiparano::textWritten, this, [=, this](int k, const QString &text) {
            deepest = std::max(deepest, runDepth());
            if (closed)
                failures << u"label %1 written after the close"_s.arg(k);
            else if (k == 8 && runDepth() == int(runs.size()) + 1) {
                runs.emplace_back(9);
                if (pressed && std::none_of(std::begin(games), std::end(games), [&](auto &g) {
                        return pressed->objectName() == QLatin1String(g.button) && text == g.title;
                    }))
                    failures << pressed->objectName() + u" started "_s + text;
            } else if (runDepth() != int(runs.size()) || runs.empty())
                failures << u"%1:%2 at depth %3"_s.arg(k).arg(text).arg(runDepth());
            if (!closed && !runs.empty())
                runs.back()[k] = text;
            if (++writes == closeAfterWrite)
                QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        });
        connect(this, &kiparano::beeped, this, [this] {
            if (closed || runs.empty() || runDepth() != int(runs.size()))
                return failures.append(u"a beep outside the end of a run"_s);
            check(runs.back());
            runs.pop_back();
        });
    }
    void closeEvent(QCloseEvent *event) override
    {
        closed = true;
        sinceClose.start();
        kiparano::closeEvent(event);
    }
    void check(const QStringList &run) // what the run wrote last, by label number
    {
        const auto rule = std::find_if(std::begin(games), std::end(games),
                                       [&](const auto &g) { return run[8] == g.title; });
        if (rule == std::end(games))
            return failures.append(u"a run titled "_s + run[8]);
        std::set<int> numbers;
        for (int k = 1; k <= 6; ++k) {
            const int n = run[k].toInt();
            if (k > rule->boxes
                    ? !run[k].isEmpty()
                    : run[k] != QString::number(n) || n < rule->lower || n > rule->upper)
                failures << run[8] + u": box %1 shows '%2'"_s.arg(k).arg(run[k]);
            if (k <= rule->boxes)
                numbers.insert(n);
        }
        if (rule->upper == 9 ? numbers.size() < 2 : int(numbers.size()) != rule->boxes)
            failures << run[8] + u": the proposal breaks the rule"_s;
        if (std::find(finalMessages.begin(), finalMessages.end(), run[7]) == finalMessages.end())
            failures << run[8] + u": ended on "_s + run[7];
    }

    int writes = 0, deepest = 0;
    bool closed = false;
    QWidget *pressed = nullptr; // the button pressed last, by mouse or Space
    QElapsedTimer sinceClose;
    std::vector<QStringList> runs; // those open, innermost last
    QStringList failures;
};

} // namespace

class TestMonkey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void sessions()
    {
        const int count = qEnvironmentVariable("MONKEY_SESSIONS", u"1500"_s).toInt();
        const quint64 first = qEnvironmentVariable("MONKEY_SEED", u"1"_s).toULongLong();
        int ignored = 0, closes = 0;
        for (quint64 seed = first; seed < first + quint64(count); ++seed) {
            std::mt19937_64 rng(seed);
            const quint64 pressOneIn = std::array{1000, 100, 20, 3}[rng() % 4];
            int budget = int(rng() % std::array{4, 31, 301}[rng() % 3]), pending = 0;
            Watched w(rng() % 2 ? int(rng() % 1500) : -1);
            w.show();
            const QList<QPushButton *> buttons = w.findChildren<QPushButton *>();
            const auto press = [&] {
                const int kind = int(rng() % 6);
                if (--pending, w.closed)
                    return;
                ignored += kind != 4 && w.runDepth() == kiparano::maxNestedRuns;
                w.pressed = kind < 4 ? buttons[kind] : kind == 5 ? w.focusWidget() : w.pressed;
                if (kind < 4)
                    QTest::mouseClick(buttons[kind], Qt::LeftButton);
                else
                    QTest::keyClick(w.focusWidget(), kind == 4 ? Qt::Key_Tab : Qt::Key_Space);
            };
            connect(&w, &kiparano::textWritten, &w, [&] {
                if (budget > 0 && rng() % pressOneIn == 0 && budget--)
                    ++pending, QMetaObject::invokeMethod(&w, press, Qt::QueuedConnection);
            });
            ++pending, press();
            while (pending > 0)
                QCoreApplication::processEvents();
            closes += w.closed;
            if ((w.closed && w.sinceClose.elapsed() > 100) || w.runDepth() != 0 ||
                w.deepest > kiparano::maxNestedRuns)
                w.failures << u"runs went on after the close, stayed open or nested too deep"_s;
            QVERIFY2(w.failures.isEmpty(),
                     qPrintable(u"seed %1: "_s.arg(seed) + w.failures.mid(0, 5).join(u"; ")));
        }
        qInfo("%d sessions, %d closed, %d presses ignored at the bound", count, closes, ignored);
        QVERIFY(count < 100 || (closes > 0 && ignored > 0));
    }
};

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"

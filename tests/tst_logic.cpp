// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The logic against a recording Surface and an oracle; the pace on a clock the test drives.

#include "core/cheer.h"
#include "core/randomness.h"
#include "core/surface.h"
#include "desktop/pace.h"
#include "games/games.h"

#include <QTest>

#include <chrono>
#include <cmath>
#include <random>

using namespace Qt::StringLiterals;

namespace {

// Logs "k:text" (label k written), "w<seconds>", "d" (a draw: the script's, then a seeded one's).
struct FakeSurface : Surface {
    explicit FakeSurface(QList<double> values = {})
        : script(std::move(values))
    {
    }
    void setText(Label label, const QString &text) override
    {
        log << QString::number(int(label)) + u':' + text;
    }
    void beep() override { log << u"beep"_s; }
    void wait(double seconds) override { log << u"w%1"_s.arg(seconds); }
    double rnd() override { return log << u"d"_s, script.value(next++, (engine() % 999) / 1e3); }

    QStringList log;
    QList<double> script;
    qsizetype next = 0;
    std::mt19937_64 engine{12345};
};

// Plays a run of steps with the program's draws: "8=text" writes a label ("6=" empties it), "S3"
// runs stage 3, "D12" draws 12, "R2" reveals number 2, "P0.5" pauses, "C"/"F" cheer, final.
struct Oracle : FakeSurface {
    using FakeSurface::FakeSurface;

    int draw(int upper, int lower) { return int(rnd() * (upper - lower + 1)) + lower; }
    void spin(int stage, int upper, int lower, int max)
    {
        static const int frames[] = {31, 21, 11, 7, 4, 6};
        static const double delays[] = {0.01, 0.05, 0.1, 0.3, 0.5, 0.7};
        const int last = (max >= 3 && max <= 5) ? max : 6;
        for (int f = 0; f < frames[stage - 1]; ++f) {
            QStringList values;
            for (int k = stage; k <= last; ++k)
                values << QString::number(draw(upper, lower));
            for (int k = stage; k <= 6; ++k)
                setText(box(k), k <= last ? values[k - stage] : QString());
            wait(delays[stage - 1]);
        }
    }
    void cheer(bool final) // the final message for r 3 to 5 is that for 0
    {
        const int r = draw(5, 0);
        setText(
            Label::Label7,
            (final ? finalMessages[r < 3 ? r : 0] : interimMessages[std::min(r, 3)]).toString());
        if (final)
            beep();
    }
    void play(const QString &steps, int upper, int lower, int max, const QList<int> &numbers)
    {
        for (const QString &step : steps.split(u' ')) {
            const QString arg = step.mid(1);
            if (step.contains(u'='))
                setText(Label(step.section(u'=', 0, 0).toInt()), step.section(u'=', 1));
            else if (step[0] == u'S')
                spin(arg.toInt(), upper, lower, max);
            else if (step[0] == u'D')
                for (int i = 0; i < arg.toInt(); ++i)
                    draw(upper, lower);
            else if (step[0] == u'R')
                setText(box(arg.toInt()), QString::number(numbers[arg.toInt() - 1]));
            else if (step[0] == u'P')
                wait(arg.toDouble());
            else
                cheer(step == u"F");
        }
    }
};

} // namespace

class TestLogic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // drawInRange at the ends of Rnd's range and of a slot, one value per call; Rnd in [0, 1).
    void drawInRange()
    {
        const double belowOne = std::nextafter(1.0, 0.0);
        const struct {
            double rnd;
            qint16 upper, lower, expected;
        } rows[] = {{0.0, 43, 1, 1},
                    {belowOne, 31, 1, 31},
                    {belowOne, 9, 0, 9},
                    {belowOne, 32767, 32000, 32767},
                    {1.0 / 43 + 1e-12, 43, 1, 2},
                    {belowOne, 7, 7, 7}};
        for (const auto &row : rows) {
            FakeSurface surface({row.rnd});
            QCOMPARE(::drawInRange(surface, row.upper, row.lower), row.expected);
            QCOMPARE(surface.log.size(), 1);
        }
        Rnd rnd;
        rnd.seed(42);
        std::vector<double> values(100000);
        std::generate(values.begin(), values.end(), std::ref(rnd));
        const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
        QVERIFY(*lowest >= 0 && *lowest < 1e-3 && *highest < 1 && *highest > 1 - 1e-3);
    }

    // Each game's whole run, write by write, with draws that break its rule before the last keeps
    // it (each box a digit of its own); the cheer messages for every r, the final one beeped.
    void games()
    {
        const struct {
            void (*handler)(Surface &);
            std::array<int, 3> play; // boxes, upper and lower bound
            QList<int> attempts;
            const char16_t *steps;
        } games[] = {
            {roto6_Click,
             {6, 43, 1},
             {1, 2, 3, 4, 5, 5, 12, 30, 5, 30, 7, 8, 40, 3, 9, 1, 43, 2},
             u"8=ロト6の予想です 7=抽選は毎週木曜日 S1 D18 R1 S2 C R2 S3 R3 S4 R4 C S5 R5 S6 R6 F"},
            {[](Surface &s) { miniroto_Click(s, 0); },
             {5, 31, 1},
             {31, 31, 1, 2, 3, 4, 17, 30, 1, 17, 31, 30, 1, 2, 9},
             u"8=ミニロトの予想です! 6= 7=チャンスは毎週チューズディ! S1 D15 P0.1 R1 S2 P0.1 R2 S3 "
             u"P0.5 C R3 S4 P0.8 C R4 S5 P1 R5 F"},
            {Numbers3_Click,
             {3, 9, 0},
             {5, 5, 5, 0, 4, 7},
             u"8=Numbers3の予想だよ 7=抽選は毎週,月,水,金 4= 5= 6= S1 D6 R1 S2 R2 S3 C R3 F"},
            {Numbers4_Click,
             {4, 9, 0},
             {9, 9, 9, 9, 7, 3, 1, 2},
             u"8=Numbers4の予想です 7=抽選は毎週月・水・金 5= 6= S1 D8 R1 S2 R2 S3 C R3 S4 R4 F"},
            {[](Surface &s) {
                 for (int r = 0; r <= 5; ++r)
                     capcap2(s), capcap(s);
             },
             {0, 5, 0},
             {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5},
             u"C F C F C F C F C F C F"},
        };
        for (const auto &game : games) {
            const auto [boxes, upper, lower] = game.play;
            QList<double> script; // values for the first stage, then the attempts
            for (int i = 0; i < 31 * boxes; ++i)
                script << (i * 37 % 101) / 101.0;
            for (int n : game.attempts) // the Rnd value drawInRange turns into n, at its top
                script << (n - lower + 0.99) / (upper - lower + 1);
            FakeSurface surface(script);
            Oracle oracle(script);
            game.handler(surface);
            oracle.play(QString::fromUtf16(game.steps), upper, lower, boxes,
                        game.attempts.mid(game.attempts.size() - boxes));
            QCOMPARE(surface.log, oracle.log);
        }
    }

    // A Numbers 3 run's 63 waits on a driven clock (in us), each ending `late` after its deadline
    // and followed by `work`: lateness up to the slack is made up, so the run ends `over` after
    // its timeline; beyond it, or after a wait `held` by a nested run, the pace starts afresh.
    void pace()
    {
        const struct {
            const char *row;
            int late, work, held;
            bool nested;
            int over;
        } rows[] = {{"late timer", 1000, 300, 0, false, 1300},
                    {"late by the slack", 4700, 300, 0, false, 5000},
                    {"late beyond the slack", 4701, 300, 0, false, 63 * 5001},
                    {"held by a nested run", 1000, 300, 300000, false, 301600},
                    {"a wait nested", 1000, 300, 0, true, 1300}};
        for (const auto &[row, late, work, held, nested, over] : rows) {
            const int seen = paced(late, work, held, nested);
            QVERIFY2(seen == over,
                     qPrintable(u"%1: %2, not %3"_s.arg(QLatin1String(row)).arg(seen).arg(over)));
        }
    }
    // How long after its timeline the run ends; below zero, the wait that ends too early.
    static int paced(int late, int work, int held, bool nested)
    {
        using namespace std::chrono;
        Pace pace;
        Pace::Clock::time_point now(hours(1)), timeline = now;
        int wait = 0;
        for (const auto &[frames, delay] : {std::pair{31, 10ms}, {21, 50ms}, {11, 100ms}})
            for (int frame = 0; frame < frames; ++frame, ++wait) {
                const auto deadline = pace.begin(now, delay);
                if (deadline < now || deadline < (timeline += delay))
                    return -1 - wait;
                if (nested && wait == 60) { // begun at once, afresh: the outer deadline is ahead
                    if (pace.begin(now, 10ms) != now + 10ms)
                        return -1 - wait;
                    pace.ended(now + 10ms);
                }
                now = deadline + microseconds(held && wait == 40 ? held : late);
                pace.ended(deadline);
                now += microseconds(work);
            }
        return int(duration_cast<microseconds>(now - timeline).count());
    }
};

QTEST_GUILESS_MAIN(TestLogic)
#include "tst_logic.moc"

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The logic against a recording Surface: drawInRange and the generator, the cheer messages,
// the spinning stages and each game's whole run.

#include "core/cheer.h"
#include "core/randomness.h"
#include "fakesurface.h"
#include "games/games.h"
#include "spin/kurukuru.h"

#include <QTest>

#include <cmath>

using Stage = void (*)(Surface &, const qint16 &, const qint16 &, const qint16 &);
using Handler = void (*)(Surface &);
Q_DECLARE_METATYPE(Handler)

class TestLogic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void drawInRange_data()
    {
        QTest::addColumn<double>("rnd");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("expected");
        const double belowOne = std::nextafter(1.0, 0.0);
        QTest::newRow("zero gives lower") << 0.0 << 43 << 1 << 1;
        QTest::newRow("below one gives upper") << belowOne << 31 << 1 << 31;
        QTest::newRow("below one, digits") << belowOne << 9 << 0 << 9;
        QTest::newRow("below one, large lower bound") << belowOne << 32767 << 32000 << 32767;
        QTest::newRow("end of the first slot") << 1.0 / 43 - 1e-12 << 43 << 1 << 1;
        QTest::newRow("start of the second slot") << 1.0 / 43 + 1e-12 << 43 << 1 << 2;
        QTest::newRow("equal bounds") << belowOne << 7 << 7 << 7;
    }
    void drawInRange()
    {
        QFETCH(double, rnd);
        QFETCH(int, upper);
        QFETCH(int, lower);
        QFETCH(int, expected);
        FakeSurface surface({rnd});
        const qint16 u = qint16(upper), l = qint16(lower);
        QCOMPARE(int(::drawInRange(surface, u, l)), expected);
        QCOMPARE(surface.log, QStringList{u"d"_qs}); // exactly one value per call
    }

    // The generator's values lie in [0, 1) and reach both ends.
    void rnd()
    {
        Rnd rnd;
        rnd.seed(42);
        double lowest = 1, highest = 0;
        for (int i = 0; i < 1000000; ++i) {
            const double v = rnd();
            QVERIFY(v >= 0.0 && v < 1.0);
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
        QVERIFY(lowest < 1e-5 && highest > 1 - 1e-5);
    }

    // For every r, the message and, for the final message only, one beep after it.
    void cheer()
    {
        for (int r = 0; r <= 5; ++r) {
            const QList<double> script = {rndFor(r, 5, 0), rndFor(r, 5, 0)};
            FakeSurface surface(script);
            Oracle oracle(script);
            capcap2(surface), capcap(surface);
            oracle.cheer(false), oracle.cheer(true);
            QCOMPARE(surface.log, oracle.log);
        }
    }

    // Every frame of every stage, for every kind of max, against the oracle's.
    void stages()
    {
        const Stage stages[] = {kurukuru, kurukuru2, kurukuru3, kurukuru4, kurukuru5, kurukuru6};
        for (int max : {0, 2, 3, 4, 5, 6, 7})
            for (int n = 1; n <= 6; ++n)
                for (auto [upper, lower] : {std::pair{43, 1}, {7, 7}}) {
                    FakeSurface surface;
                    Oracle oracle;
                    stages[n - 1](surface, qint16(upper), qint16(lower), qint16(max));
                    oracle.spin(n, upper, lower, max);
                    QVERIFY2(surface.log == oracle.log,
                             qPrintable(u"kurukuru%1 max %2"_qs.arg(n).arg(max)));
                }
    }

    // Each game's whole run, write by write, with draw attempts that break the game's rule
    // before the last one keeps it.
    void games_data()
    {
        QTest::addColumn<Handler>("handler");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("lower");
        QTest::addColumn<QList<int>>("attempts");
        QTest::addColumn<QString>("steps");
        QTest::newRow("Loto 6")
            << Handler(roto6_Click) << 6 << 43 << 1
            << QList<int>{1, 2, 3, 4, 5, 5, 12, 30, 5, 30, 7, 8, 40, 3, 9, 1, 43, 2}
            << u"8=ロト6の予想です 7=抽選は毎週木曜日 S1 D18 R1 S2 C R2 S3 R3 S4 R4 C S5 R5 "
               "S6 R6 F"_qs;
        QTest::newRow("Mini Loto")
            << Handler([](Surface &s) { miniroto_Click(s, 0); }) << 5 << 31 << 1
            << QList<int>{31, 31, 1, 2, 3, 4, 17, 30, 1, 17, 31, 30, 1, 2, 9}
            << u"8=ミニロトの予想です! 6= 7=チャンスは毎週チューズディ! S1 D15 P0.1 R1 S2 "
               "P0.1 R2 S3 P0.5 C R3 S4 P0.8 C R4 S5 P1 R5 F"_qs;
        QTest::newRow("Numbers 3")
            << Handler(Numbers3_Click) << 3 << 9 << 0 << QList<int>{5, 5, 5, 0, 0, 7}
            << u"8=Numbers3の予想だよ 7=抽選は毎週,月,水,金 4= 5= 6= S1 D6 R1 S2 R2 S3 C R3 F"_qs;
        QTest::newRow("Numbers 4")
            << Handler(Numbers4_Click) << 4 << 9 << 0 << QList<int>{9, 9, 9, 9, 7, 7, 7, 2}
            << u"8=Numbers4の予想です 7=抽選は毎週月・水・金 5= 6= S1 D8 R1 S2 R2 S3 C R3 S4 "
               "R4 F"_qs;
    }
    void games()
    {
        QFETCH(Handler, handler);
        QFETCH(int, boxes);
        QFETCH(int, upper);
        QFETCH(int, lower);
        QFETCH(QList<int>, attempts);
        QFETCH(QString, steps);
        // Random values for the first stage, then the attempts, then random values again.
        std::mt19937 engine(7);
        std::uniform_real_distribution<double> any(0.0, 1.0);
        QList<double> script;
        for (int i = 0; i < 31 * boxes; ++i)
            script << any(engine);
        for (int n : attempts)
            script << rndFor(n, upper, lower);
        FakeSurface surface(script);
        Oracle oracle(script);
        handler(surface);
        oracle.play(steps, upper, lower, boxes, attempts.mid(attempts.size() - boxes));
        QCOMPARE(surface.log, oracle.log);
    }
};

QTEST_GUILESS_MAIN(TestLogic)
#include "tst_logic.moc"

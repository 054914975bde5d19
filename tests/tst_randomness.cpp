// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "fakesurface.h"

#include <QTest>

#include <cmath>
#include <limits>

class TestRandomness : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void drawInRangeEdges_data()
    {
        QTest::addColumn<double>("rnd");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("expected");
        const double belowOne = std::nextafter(1.0, 0.0);
        QTest::newRow("zero gives lower") << 0.0 << 43 << 1 << 1;
        QTest::newRow("below one gives upper, loto6") << belowOne << 43 << 1 << 43;
        QTest::newRow("below one gives upper, mini loto") << belowOne << 31 << 1 << 31;
        QTest::newRow("below one gives upper, digits") << belowOne << 9 << 0 << 9;
        QTest::newRow("below one gives upper, cheer") << belowOne << 5 << 0 << 5;
        QTest::newRow("below one, large lower bound") << belowOne << 32767 << 32000 << 32767;
        QTest::newRow("last value of the first slot") << 1.0 / 43 - 1e-12 << 43 << 1 << 1;
        QTest::newRow("first value of the second slot") << 1.0 / 43 + 1e-12 << 43 << 1 << 2;
        QTest::newRow("middle") << 0.5 << 9 << 0 << 5;
        QTest::newRow("equal bounds") << 0.7 << 7 << 7 << 7;
        QTest::newRow("equal bounds, below one") << belowOne << 0 << 0 << 0;
    }
    void drawInRangeEdges()
    {
        QFETCH(double, rnd);
        QFETCH(int, upper);
        QFETCH(int, lower);
        QFETCH(int, expected);
        QCOMPARE(int(drawInRange(rnd, qint16(upper), qint16(lower))), expected);

        FakeSurface surface({rnd});
        const qint16 u = qint16(upper), l = qint16(lower);
        QCOMPARE(int(drawInRange(surface, u, l)), expected);
        QCOMPARE(surface.events.size(), 1); // exactly one value per call
    }

    // The generator: strictly below 1, reaching both ends, even over 100 buckets (chi-square,
    // failing by chance less than once in a million).
    void rndCoversZeroToOneEvenly()
    {
        QVERIFY(double(std::numeric_limits<quint64>::max() >> 11) * 0x1.0p-53 < 1.0);
        Rnd rnd;
        rnd.seed(42);
        const int draws = 1000000, bucketCount = 100;
        double lowest = 1, highest = 0;
        std::array<int, bucketCount> buckets{};
        for (int i = 0; i < draws; ++i) {
            const double v = rnd();
            QVERIFY(v >= 0.0 && v < 1.0);
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
            ++buckets[std::size_t(v * bucketCount)];
        }
        QVERIFY(lowest < 1e-5 && highest > 1 - 1e-5);
        const double expected = double(draws) / bucketCount, df = bucketCount - 1;
        double chi2 = 0;
        for (int count : buckets)
            chi2 += (count - expected) * (count - expected) / expected;
        const double limit = df * std::pow(1 - 2 / (9 * df) + 4.753 * std::sqrt(2 / (9 * df)), 3);
        QVERIFY2(chi2 < limit, qPrintable(QStringLiteral("%1 >= %2").arg(chi2).arg(limit)));
    }

    // drawInRange is Int((upper - lower + 1) * Rnd + lower) for every bound pair in use.
    void drawInRangeFollowsItsFormula()
    {
        Rnd rnd;
        rnd.seed(7);
        for (auto [upper, lower] : {std::pair{43, 1}, {31, 1}, {9, 0}, {5, 0}})
            for (int i = 0; i < 100000; ++i) {
                const double r = i == 0 ? 0.0 : i == 1 ? std::nextafter(1.0, 0.0) : rnd();
                QCOMPARE(int(drawInRange(r, qint16(upper), qint16(lower))),
                         int(std::floor((upper - lower + 1) * r + lower)));
            }
    }
};

QTEST_GUILESS_MAIN(TestRandomness)
#include "tst_randomness.moc"

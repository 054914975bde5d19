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

    void rndStaysBelowOneAndCoversTheRange()
    {
        // The largest output the generator can produce.
        QVERIFY(double(std::numeric_limits<quint64>::max() >> 11) * 0x1.0p-53 < 1.0);
        Rnd rnd;
        rnd.seed(42);
        double lowest = 1, highest = 0;
        std::array<int, 10> buckets{};
        for (int i = 0; i < 100000; ++i) {
            const double v = rnd();
            QVERIFY(v >= 0.0 && v < 1.0);
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
            ++buckets[std::size_t(v * 10)];
        }
        QVERIFY(lowest < 1e-3 && highest > 1 - 1e-3);
        for (int count : buckets)
            QVERIFY2(std::abs(count - 10000) < 600, qPrintable(QString::number(count)));
    }
};

QTEST_GUILESS_MAIN(TestRandomness)
#include "tst_randomness.moc"

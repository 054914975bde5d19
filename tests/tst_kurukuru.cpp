// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "fakesurface.h"
#include "spin/kurukuru.h"

#include <QTest>

using Routine = void (*)(Surface &, const qint16 &, const qint16 &, const qint16 &);
Q_DECLARE_METATYPE(Routine)

class TestKurukuru : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frames_data()
    {
        QTest::addColumn<Routine>("routine");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("delay");
        QTest::addColumn<QString>("boxes"); // per box 1..6: s spin, b blank, - untouched
        const Routine routines[] = {kurukuru,  kurukuru2, kurukuru3,
                                    kurukuru4, kurukuru5, kurukuru6};
        const int frames[] = {31, 21, 11, 7, 4, 6};
        const double delays[] = {0.01, 0.05, 0.1, 0.3, 0.5, 0.7};
        // What each stage does to boxes 1 to 6, for each max.
        const struct {
            int max;
            const char *stages[6];
        } rows[] = {
            {0, {"ssssss", "-sssss", "--ssss", "---sss", "----ss", "-----s"}},
            {2, {"ssssss", "-sssss", "--ssss", "---sss", "----ss", "-----s"}},
            {3, {"sssbbb", "-ssbbb", "--sbbb", "---bbb", "----bb", "-----b"}},
            {4, {"ssssbb", "-sssbb", "--ssbb", "---sbb", "----bb", "-----b"}},
            {5, {"sssssb", "-ssssb", "--sssb", "---ssb", "----sb", "-----b"}},
            {6, {"ssssss", "-sssss", "--ssss", "---sss", "----ss", "-----s"}},
            {7, {"ssssss", "-sssss", "--ssss", "---sss", "----ss", "-----s"}},
        };
        for (const auto &row : rows)
            for (int n = 0; n < 6; ++n)
                QTest::addRow("kurukuru%d max=%d", n + 1, row.max)
                    << routines[n] << row.max << frames[n] << delays[n]
                    << QString::fromLatin1(row.stages[n]);
    }

    // Every frame: one draw per spinning box in ascending order, then the writes of boxes
    // F..6 in ascending order, then the wait; boxes below F keep what they held.
    void frames()
    {
        QFETCH(Routine, routine);
        QFETCH(int, max);
        QFETCH(int, frames);
        QFETCH(double, delay);
        QFETCH(QString, boxes);
        FakeSurface surface;
        for (int k = 1; k <= 6; ++k)
            surface.labels[k] = QStringLiteral("kept");
        const qint16 upper = 43, lower = 1, m = qint16(max);
        routine(surface, upper, lower, m);

        QCOMPARE(surface.events.count({Event::Wait, 0, {}, delay}), frames);
        qsizetype at = 0;
        for (int f = 0; f < frames; ++f) {
            QList<int> drawn;
            for (int k = 1; k <= 6; ++k)
                if (boxes[k - 1] == u's') {
                    const Event &e = surface.events.at(at++);
                    QCOMPARE(e.kind, Event::Draw);
                    drawn.append(drawInRange(e.value, upper, lower));
                }
            for (int k = 1; k <= 6; ++k) {
                if (boxes[k - 1] == u'-')
                    continue;
                const QString text =
                    boxes[k - 1] == u'b' ? QString() : QString::number(drawn.takeFirst());
                QCOMPARE(surface.events.at(at++), (Event{Event::Write, k, text}));
            }
            QCOMPARE(surface.events.at(at++), (Event{Event::Wait, 0, {}, delay}));
        }
        QCOMPARE(at, surface.events.size());
        for (int k = 1; k <= 6; ++k)
            if (boxes[k - 1] == u'-')
                QCOMPARE(surface.labels[k], QStringLiteral("kept"));
    }

    void equalBoundsShowTheOneValue()
    {
        FakeSurface surface;
        const qint16 bound = 7, max = 6;
        kurukuru(surface, bound, bound, max);
        for (const Event &e : std::as_const(surface.events))
            if (e.kind == Event::Write)
                QCOMPARE(e.text, QStringLiteral("7"));
    }
};

QTEST_GUILESS_MAIN(TestKurukuru)
#include "tst_kurukuru.moc"

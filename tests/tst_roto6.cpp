#include "fakesurface.h"
#include "games/games.h"

#include <QTest>

#include <set>

class TestRoto6 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The whole run, event by event, with a first attempt that repeats a number.
    void exactSequence()
    {
        std::mt19937 engine(7);
        std::uniform_real_distribution<double> any(0.0, 1.0);
        QList<double> script;
        for (int i = 0; i < 31 * 6; ++i)
            script.append(any(engine));
        for (int n : {12, 30, 5, 30, 7, 8}) // one pair equal: thrown away whole
            script.append(rndFor(n, 43, 1));
        for (int n : {43, 1, 20, 9, 2, 31}) // accepted, shown unsorted
            script.append(rndFor(n, 43, 1));
        for (int i = 0; i < 400; ++i)
            script.append(any(engine));

        Oracle o;
        o.script = script;
        o.write(8, QStringLiteral(u"ロト6の予想です"));
        o.write(7, QStringLiteral(u"抽選は毎週木曜日"));
        o.spin(1, 43, 1, 6);
        for (int i = 0; i < 12; ++i)
            o.draw(43, 1);
        o.write(1, QStringLiteral("43"));
        o.spin(2, 43, 1, 6);
        o.cheer(false);
        o.write(2, QStringLiteral("1"));
        o.spin(3, 43, 1, 6);
        o.write(3, QStringLiteral("20"));
        o.spin(4, 43, 1, 6);
        o.write(4, QStringLiteral("9"));
        o.cheer(false);
        o.spin(5, 43, 1, 6);
        o.write(5, QStringLiteral("2"));
        o.spin(6, 43, 1, 6);
        o.write(6, QStringLiteral("31"));
        o.cheer(true);

        FakeSurface surface(script);
        roto6_Click(surface);
        QCOMPARE(surface.events, o.events);
        QCOMPARE(qRound(surface.clock * 100), 1076);
    }

    // Many runs on the fixed-seed generator: six different numbers in range, one beep last.
    void proposalsAreValid()
    {
        FakeSurface surface;
        for (int run = 0; run < 300; ++run) {
            surface.events.clear();
            roto6_Click(surface);
            std::set<int> numbers;
            for (int k = 1; k <= 6; ++k) {
                const int n = surface.labels[k].toInt();
                QVERIFY(n >= 1 && n <= 43);
                QCOMPARE(surface.labels[k], QString::number(n));
                numbers.insert(n);
            }
            QCOMPARE(numbers.size(), std::size_t(6));
            QCOMPARE(surface.events.count(Event(Event::Beep)), 1);
            QCOMPARE(surface.events.constLast().kind, Event::Beep);
        }
    }

    // A press served inside a wait of stage 2 runs a whole game there; the outer run then
    // finishes its own stages and keeps its own numbers.
    void nestedRunResumes()
    {
        FakeSurface surface;
        QString outerFirst, innerFirst;
        surface.onWait = [&](int wait) {
            if (wait != 40)
                return;
            outerFirst = surface.labels[1];
            roto6_Click(surface);
            innerFirst = surface.labels[1];
        };
        roto6_Click(surface);
        QCOMPARE(surface.events.count(Event(Event::Beep)), 2);
        QCOMPARE(surface.waits, 2 * (31 + 21 + 11 + 7 + 4 + 6));
        QCOMPARE(surface.labels[1], innerFirst); // the outer run does not write box 1 again
        QVERIFY(!outerFirst.isEmpty());
        // After the inner beep the outer run wrote boxes 2 to 6 again, ending in its beep.
        const qsizetype innerBeep = surface.events.indexOf(Event{Event::Beep});
        for (int k = 2; k <= 6; ++k)
            QVERIFY(std::any_of(surface.events.begin() + innerBeep, surface.events.end(),
                                [k](const Event &e) { return e.kind == Event::Write && e.label == k; }));
    }
};

QTEST_GUILESS_MAIN(TestRoto6)
#include "tst_roto6.moc"

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "fakesurface.h"
#include "games/games.h"
#include "games/proposal.h"

#include <QTest>

#include <cmath>
#include <set>

using Handler = std::function<void(Surface &)>;
Q_DECLARE_METATYPE(Handler)

namespace {

const Handler roto6 = roto6_Click;
const Handler miniroto = [](Surface &s) { miniroto_Click(s, 0); };
const Handler numbers3 = Numbers3_Click;
const Handler numbers4 = Numbers4_Click;

// Random spin values for stage 1 (31 frames of `boxes` draws), then the draw attempts, then
// random values for the rest of the run.
QList<double> scriptFor(int boxes, const QList<int> &attempts, int upper, int lower)
{
    std::mt19937 engine(7);
    std::uniform_real_distribution<double> any(0.0, 1.0);
    QList<double> script;
    for (int i = 0; i < 31 * boxes; ++i)
        script.append(any(engine));
    for (int n : attempts)
        script.append(rndFor(n, upper, lower));
    for (int i = 0; i < 400; ++i)
        script.append(any(engine));
    return script;
}

// "4,4,7,,," -> the six box texts.
QStringList boxTexts(const char *texts)
{
    return QString::fromLatin1(texts).split(u',');
}

QStringList finalBoxes(const FakeSurface &surface)
{
    return QStringList(surface.labels.begin() + 1, surface.labels.begin() + 7);
}

// Draws a plain Rnd sequence from the program's generator; nothing else.
class DrawOnly : public Surface {
public:
    DrawOnly() { m_rnd.seed(2026); }
    void setText(Label, const QString &) override {}
    void beep() override {}
    void wait(double) override {}
    double rnd() override { return m_rnd(); }

private:
    Rnd m_rnd;
};

template <std::size_t N, typename Rule>
QList<int> draw(Surface &surface, qint16 upper, qint16 lower, Rule rule)
{
    const Proposal<N> p = drawProposal<N>(surface, upper, lower, rule);
    return QList<int>(p.begin(), p.end());
}

} // namespace

class TestGames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each game's whole run, event by event; every first attempt breaks the game's rule.
    void exactSequence_data()
    {
        QTest::addColumn<Handler>("handler");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("lower");
        QTest::addColumn<QList<int>>("attempts");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("centiseconds");
        QTest::newRow("Loto 6")
            << roto6 << 6 << 43 << 1 << QList<int>{12, 30, 5, 30, 7, 8, 43, 1, 20, 9, 2, 31}
            << u"8=ロト6の予想です 7=抽選は毎週木曜日 S1 D12 R1 S2 C R2 S3 R3 S4 R4 C S5 R5 S6 R6 F"_qs
            << 1076;
        QTest::newRow("Mini Loto")
            << miniroto << 5 << 31 << 1 << QList<int>{4, 17, 31, 1, 17, 31, 1, 17, 4, 9}
            << u"8=ミニロトの予想です! 6= 7=チャンスは毎週チューズディ! S1 D10 P0.1 R1 S2 P0.1 R2 "
               "S3 P0.5 C R3 S4 P0.8 C R4 S5 P1 R5 F"_qs
            << 906;
        QTest::newRow("Numbers 3")
            << numbers3 << 3 << 9 << 0 << QList<int>{5, 5, 5, 9, 1, 0}
            << u"8=Numbers3の予想だよ 7=抽選は毎週,月,水,金 4= 5= 6= S1 D6 R1 S2 R2 S3 C R3 F"_qs
            << 246;
        QTest::newRow("Numbers 4")
            << numbers4 << 4 << 9 << 0 << QList<int>{0, 0, 0, 0, 0, 7, 0, 7}
            << u"8=Numbers4の予想です 7=抽選は毎週月・水・金 5= 6= S1 D8 R1 S2 R2 S3 C R3 S4 R4 F"_qs
            << 456; // box 4 is left to the first spin
    }
    void exactSequence()
    {
        QFETCH(Handler, handler);
        QFETCH(int, boxes);
        QFETCH(int, upper);
        QFETCH(int, lower);
        QFETCH(QList<int>, attempts);
        QFETCH(QString, steps);
        QFETCH(int, centiseconds);
        const QList<double> script = scriptFor(boxes, attempts, upper, lower);
        Oracle o;
        o.script = script;
        o.play(steps, upper, lower, boxes, attempts.mid(attempts.size() - boxes));
        FakeSurface surface(script);
        handler(surface);
        QCOMPARE(surface.events, o.events);
        QCOMPARE(qRound(surface.clock * 100), centiseconds);
    }

    // Which attempts each game throws away whole, and what the boxes show in the end.
    void acceptance_data()
    {
        QTest::addColumn<Handler>("handler");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("lower");
        QTest::addColumn<QList<int>>("attempts");
        QTest::addColumn<QStringList>("shown");
        const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
        row("Loto 6: last pair equal")
            << roto6 << 6 << 43 << 1 << QList<int>{1, 2, 3, 4, 5, 5, 40, 3, 9, 1, 43, 2}
            << boxTexts("40,3,9,1,43,2");
        row("Mini Loto: first pair equal")
            << miniroto << 5 << 31 << 1 << QList<int>{31, 31, 1, 2, 3, 31, 30, 1, 2, 3}
            << boxTexts("31,30,1,2,3,");
        row("Numbers 3: 000 out, 447 in")
            << numbers3 << 3 << 9 << 0 << QList<int>{0, 0, 0, 4, 4, 7} << boxTexts("4,4,7,,,");
        row("Numbers 3: zero first, unsorted")
            << numbers3 << 3 << 9 << 0 << QList<int>{0, 9, 1} << boxTexts("0,9,1,,,");
        row("Numbers 4: 7777 out, 7772 in")
            << numbers4 << 4 << 9 << 0 << QList<int>{7, 7, 7, 7, 7, 7, 7, 2}
            << boxTexts("7,7,7,2,,");
        row("Numbers 4: two pairs")
            << numbers4 << 4 << 9 << 0 << QList<int>{1, 2, 1, 2} << boxTexts("1,2,1,2,,");
    }
    void acceptance()
    {
        QFETCH(Handler, handler);
        QFETCH(int, boxes);
        QFETCH(int, upper);
        QFETCH(int, lower);
        QFETCH(QList<int>, attempts);
        QFETCH(QStringList, shown);
        FakeSurface surface(scriptFor(boxes, attempts, upper, lower));
        for (int k = 1; k <= 6; ++k)
            surface.labels[k] = QStringLiteral("43"); // left by an earlier run
        handler(surface);
        QCOMPARE(finalBoxes(surface), shown);
    }

    // Many proposals from the program's generator: every value equally often in every box
    // (chi-square, each box failing by chance less than once in a million) and the game's rule
    // always kept.
    void frequencies_data()
    {
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("lower");
        QTest::addColumn<bool>("distinct");
        QTest::newRow("Loto 6") << 6 << 43 << 1 << true;
        QTest::newRow("Mini Loto") << 5 << 31 << 1 << true;
        QTest::newRow("Numbers 3") << 3 << 9 << 0 << false;
        QTest::newRow("Numbers 4") << 4 << 9 << 0 << false;
    }
    void frequencies()
    {
        QFETCH(int, boxes);
        QFETCH(int, upper);
        QFETCH(int, lower);
        QFETCH(bool, distinct);
        const int proposals = 300000, values = upper - lower + 1;
        DrawOnly surface;
        const qint16 u = qint16(upper), l = qint16(lower);
        std::vector<std::vector<int>> counts(boxes, std::vector<int>(values));
        for (int i = 0; i < proposals; ++i) {
            const QList<int> n = boxes == 6   ? draw<6>(surface, u, l, pairwiseDistinct<6>)
                                 : boxes == 5 ? draw<5>(surface, u, l, pairwiseDistinct<5>)
                                 : boxes == 4 ? draw<4>(surface, u, l, notAllEqual<4>)
                                              : draw<3>(surface, u, l, notAllEqual<3>);
            const std::set<int> different(n.begin(), n.end());
            QVERIFY(distinct ? int(different.size()) == boxes : different.size() > 1);
            for (int k = 0; k < boxes; ++k)
                ++counts[k][n[k] - lower];
        }
        // Wilson-Hilferty: the chi-square quantile for an upper tail of 1e-6.
        const double df = values - 1, z = 4.753;
        const double limit = df * std::pow(1 - 2 / (9 * df) + z * std::sqrt(2 / (9 * df)), 3);
        const double expected = double(proposals) / values;
        for (int k = 0; k < boxes; ++k) {
            double chi2 = 0;
            for (int c : counts[k])
                chi2 += (c - expected) * (c - expected) / expected;
            QVERIFY2(
                chi2 < limit,
                qPrintable(QStringLiteral("box %1: %2 >= %3").arg(k + 1).arg(chi2).arg(limit)));
        }
    }
};

QTEST_GUILESS_MAIN(TestGames)
#include "tst_games.moc"

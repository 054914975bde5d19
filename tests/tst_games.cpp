#include "fakesurface.h"
#include "games/games.h"
#include "games/proposal.h"

#include <QTest>

#include <cmath>
#include <set>

using Handler = std::function<void(Surface &)>;
using Steps = std::function<void(Oracle &, const QStringList &numbers)>;
Q_DECLARE_METATYPE(Handler)
Q_DECLARE_METATYPE(Steps)

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
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<int>("centiseconds");
        const auto text = [](const char16_t *s) { return QString::fromUtf16(s); };

        QTest::newRow("Loto 6") << roto6 << 6 << 43 << 1
            << QList<int>{12, 30, 5, 30, 7, 8, 43, 1, 20, 9, 2, 31}
            << Steps([&](Oracle &o, const QStringList &n) {
                   o.write(8, text(u"ロト6の予想です"));
                   o.write(7, text(u"抽選は毎週木曜日"));
                   o.spin(1, 43, 1, 6);
                   for (int i = 0; i < 12; ++i)
                       o.draw(43, 1);
                   o.write(1, n[0]), o.spin(2, 43, 1, 6), o.cheer(false);
                   o.write(2, n[1]), o.spin(3, 43, 1, 6);
                   o.write(3, n[2]), o.spin(4, 43, 1, 6);
                   o.write(4, n[3]), o.cheer(false), o.spin(5, 43, 1, 6);
                   o.write(5, n[4]), o.spin(6, 43, 1, 6);
                   o.write(6, n[5]), o.cheer(true);
               })
            << 1076;
        QTest::newRow("Mini Loto") << miniroto << 5 << 31 << 1
            << QList<int>{4, 17, 31, 1, 17, 31, 1, 17, 4, 9}
            << Steps([&](Oracle &o, const QStringList &n) {
                   o.write(8, text(u"ミニロトの予想です!"));
                   o.write(6, {});
                   o.write(7, text(u"チャンスは毎週チューズディ!"));
                   o.spin(1, 31, 1, 5);
                   for (int i = 0; i < 10; ++i)
                       o.draw(31, 1);
                   o.waitFor(0.1), o.write(1, n[0]), o.spin(2, 31, 1, 5);
                   o.waitFor(0.1), o.write(2, n[1]), o.spin(3, 31, 1, 5);
                   o.waitFor(0.5), o.cheer(false), o.write(3, n[2]), o.spin(4, 31, 1, 5);
                   o.waitFor(0.8), o.cheer(false), o.write(4, n[3]), o.spin(5, 31, 1, 5);
                   o.waitFor(1), o.write(5, n[4]), o.cheer(true);
               })
            << 906;
        QTest::newRow("Numbers 3") << numbers3 << 3 << 9 << 0 << QList<int>{5, 5, 5, 9, 1, 0}
            << Steps([&](Oracle &o, const QStringList &n) {
                   o.write(8, text(u"Numbers3の予想だよ"));
                   o.write(7, text(u"抽選は毎週,月,水,金"));
                   o.write(4, {}), o.write(5, {}), o.write(6, {});
                   o.spin(1, 9, 0, 3);
                   for (int i = 0; i < 6; ++i)
                       o.draw(9, 0);
                   o.write(1, n[0]), o.spin(2, 9, 0, 3);
                   o.write(2, n[1]), o.spin(3, 9, 0, 3), o.cheer(false);
                   o.write(3, n[2]), o.cheer(true);
               })
            << 246;
        QTest::newRow("Numbers 4") << numbers4 << 4 << 9 << 0
            << QList<int>{0, 0, 0, 0, 0, 7, 0, 7}
            << Steps([&](Oracle &o, const QStringList &n) {
                   o.write(8, text(u"Numbers4の予想です"));
                   o.write(7, text(u"抽選は毎週月・水・金"));
                   o.write(5, {}), o.write(6, {}); // box 4 is left to the first spin
                   o.spin(1, 9, 0, 4);
                   for (int i = 0; i < 8; ++i)
                       o.draw(9, 0);
                   o.write(1, n[0]), o.spin(2, 9, 0, 4);
                   o.write(2, n[1]), o.spin(3, 9, 0, 4), o.cheer(false);
                   o.write(3, n[2]), o.spin(4, 9, 0, 4);
                   o.write(4, n[3]), o.cheer(true);
               })
            << 456;
    }
    void exactSequence()
    {
        QFETCH(Handler, handler);
        QFETCH(int, boxes);
        QFETCH(int, upper);
        QFETCH(int, lower);
        QFETCH(QList<int>, attempts);
        QFETCH(Steps, steps);
        QFETCH(int, centiseconds);
        const QList<double> script = scriptFor(boxes, attempts, upper, lower);
        QStringList accepted;
        for (int n : attempts.mid(attempts.size() - boxes))
            accepted.append(QString::number(n));

        Oracle o;
        o.script = script;
        steps(o, accepted);
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
        row("Loto 6: last pair equal") << roto6 << 6 << 43 << 1
            << QList<int>{1, 2, 3, 4, 5, 5, 40, 3, 9, 1, 43, 2}
            << boxTexts("40,3,9,1,43,2");
        row("Mini Loto: first pair equal") << miniroto << 5 << 31 << 1
            << QList<int>{31, 31, 1, 2, 3, 31, 30, 1, 2, 3}
            << boxTexts("31,30,1,2,3,");
        row("Numbers 3: 000 out, 447 in") << numbers3 << 3 << 9 << 0
            << QList<int>{0, 0, 0, 4, 4, 7} << boxTexts("4,4,7,,,");
        row("Numbers 3: zero first, unsorted") << numbers3 << 3 << 9 << 0
            << QList<int>{0, 9, 1} << boxTexts("0,9,1,,,");
        row("Numbers 4: 7777 out, 7772 in") << numbers4 << 4 << 9 << 0
            << QList<int>{7, 7, 7, 7, 7, 7, 7, 2} << boxTexts("7,7,7,2,,");
        row("Numbers 4: two pairs") << numbers4 << 4 << 9 << 0
            << QList<int>{1, 2, 1, 2} << boxTexts("1,2,1,2,,");
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
            const QList<int> n = boxes == 6 ? draw<6>(surface, u, l, pairwiseDistinct<6>)
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
            QVERIFY2(chi2 < limit, qPrintable(QStringLiteral("box %1: %2 >= %3").arg(k + 1).arg(chi2).arg(limit)));
        }
    }

    // A press served in a Mini Loto pause runs Numbers 3 there; Mini Loto then finishes with
    // its own numbers, and box 6 stays empty.
    void pressDuringPauseNests()
    {
        FakeSurface surface;
        QStringList before;
        surface.onWait = [&](int) {
            if (surface.events.constLast() != Event(Event::Wait, 0, {}, 0.8))
                return;
            before = finalBoxes(surface);
            Numbers3_Click(surface);
        };
        miniroto_Click(surface, 0);
        QCOMPARE(surface.events.count(Event(Event::Beep)), 2);
        const QStringList after = finalBoxes(surface);
        const std::set<int> mini = {before[0].toInt(), before[1].toInt(), before[2].toInt(),
                                    after[3].toInt(), after[4].toInt()};
        QCOMPARE(mini.size(), std::size_t(5));
        QVERIFY(*mini.begin() >= 1 && *mini.rbegin() <= 31);
        QCOMPARE(after[5], QString());
        QCOMPARE(surface.labels[8], QStringLiteral(u"Numbers3の予想だよ")); // Mini Loto wrote its title once
    }
};

QTEST_GUILESS_MAIN(TestGames)
#include "tst_games.moc"

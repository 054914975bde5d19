// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "core/cheer.h"
#include "fakesurface.h"

#include <QTest>

class TestCheer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messages_data()
    {
        QTest::addColumn<int>("r");
        QTest::addColumn<QString>("final");
        QTest::addColumn<QString>("interim");
        const QString defaultFinal = QStringLiteral(u"こんなん出ました!");
        const QString defaultInterim = QStringLiteral(u"なにがでるかな???");
        QTest::newRow("r=0") << 0 << defaultFinal << QStringLiteral(u"あたりますように!");
        QTest::newRow("r=1") << 1 << QStringLiteral(u"当たりますように!")
                             << QStringLiteral(u"もうしばらくお待ちください");
        QTest::newRow("r=2") << 2 << QStringLiteral(u"こんなのでました")
                             << QStringLiteral(u"当たりますように!!!");
        QTest::newRow("r=3") << 3 << defaultFinal << defaultInterim;
        QTest::newRow("r=4") << 4 << defaultFinal << defaultInterim;
        QTest::newRow("r=5") << 5 << defaultFinal << defaultInterim;
    }
    void messages()
    {
        QFETCH(int, r);
        QFETCH(QString, final);
        QFETCH(QString, interim);
        const double value = rndFor(r, 5, 0);

        FakeSurface closing({value});
        capcap(closing);
        const QList<Event> beepAfterWrite = {
            {Event::Draw, 0, {}, value}, {Event::Write, 7, final}, {Event::Beep}};
        QCOMPARE(closing.events, beepAfterWrite);

        FakeSurface interimSurface({value});
        capcap2(interimSurface);
        const QList<Event> noBeep = {{Event::Draw, 0, {}, value}, {Event::Write, 7, interim}};
        QCOMPARE(interimSurface.events, noBeep);
    }
};

QTEST_GUILESS_MAIN(TestCheer)
#include "tst_cheer.moc"

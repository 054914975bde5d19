// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "core/cheer.h"
#include "fakesurface.h"
#include "games/games.h"
#include "window/fonts.h"
#include "window/kiparano.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRawFont>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QtEndian>

#include <set>

namespace {

QLabel *label(QWidget &w, int k)
{
    return w.findChild<QLabel *>(QStringLiteral("Label%1").arg(k));
}
QPushButton *button(QWidget &w, const char *name)
{
    return w.findChild<QPushButton *>(QLatin1String(name));
}

// Every label write and beep of a window, in order; "beep" for a beep.
struct Recorder {
    explicit Recorder(kiparano &w)
    {
        QObject::connect(&w, &kiparano::textWritten, &w, [this](int k, const QString &text) {
            log.append(QStringLiteral("%1:%2").arg(k).arg(text));
        });
        QObject::connect(&w, &kiparano::beeped, &w, [this] { log.append(QStringLiteral("beep")); });
    }
    QStringList log;
};

quint32 le32(const QByteArray &data, int at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}
quint16 le16(const QByteArray &data, int at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}

} // namespace

class TestKiparano : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        fonts::install();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        const struct {
            const char *name;
            QRect rect;
        } rows[] = {
            {"Numbers4", {288, 232, 73, 25}}, {"Numbers3", {208, 232, 73, 25}},
            {"roto6", {128, 232, 73, 25}},    {"miniroto", {48, 232, 73, 25}},
            {"Label9", {24, 264, 369, 17}},   {"Label8", {184, 0, 257, 33}},
            {"Label7", {256, 48, 169, 33}},   {"Label6", {184, 128, 36, 28}},
            {"Label5", {48, 120, 36, 28}},    {"Label4", {120, 144, 36, 28}},
            {"Label3", {184, 56, 36, 28}},    {"Label2", {120, 48, 36, 28}},
            {"Label1", {40, 56, 36, 28}},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.rect;
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        kiparano w;
        QCOMPARE(w.findChild<QWidget *>(name)->geometry(), geometry);
    }

    void labels_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<int>("weight");
        QTest::addColumn<QColor>("color"); // invalid: the system's window-text colour
        QTest::addColumn<bool>("opaque");
        QTest::addColumn<int>("alignment");
        const int centre = Qt::AlignCenter, left = Qt::AlignLeft | Qt::AlignVCenter;
        for (int k = 1; k <= 6; ++k)
            QTest::addRow("Label%d", k)
                << k << fonts::monoFamily() << 16 << int(QFont::Bold) << QColor() << true << centre;
        QTest::newRow("Label7") << 7 << fonts::japaneseFamily() << 13 << int(QFont::Normal)
                                << QColor(64, 64, 64) << false << centre;
        QTest::newRow("Label8") << 8 << fonts::japaneseFamily() << 21 << int(QFont::Bold)
                                << QColor(192, 64, 0) << false << centre;
        QTest::newRow("Label9") << 9 << QFontInfo(QApplication::font()).family() << -1 << -1
                                << QColor(64, 64, 64) << false << left;
    }
    void labels()
    {
        QFETCH(int, k);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(int, weight);
        QFETCH(QColor, color);
        QFETCH(bool, opaque);
        QFETCH(int, alignment);
        kiparano w;
        QLabel *l = label(w, k);
        const QFontInfo info(l->font());
        QCOMPARE(info.family(), family);
        if (pixelSize > 0) {
            QCOMPARE(info.pixelSize(), pixelSize);
            QCOMPARE(info.weight(), weight);
        }
        QVERIFY(!info.italic() && !info.underline() && !info.strikeOut());
        const QPalette standard = QApplication::palette();
        QCOMPARE(l->palette().color(QPalette::WindowText),
                 color.isValid() ? color : standard.color(QPalette::WindowText));
        QCOMPARE(l->autoFillBackground(), opaque);
        QCOMPARE(l->palette().color(QPalette::Window), standard.color(QPalette::Window));
        QCOMPARE(int(l->alignment()), alignment);
        QVERIFY(l->wordWrap());
        QCOMPARE(l->frameShape(), QFrame::NoFrame);
        QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        QCOMPARE(l->toolTip().isEmpty(), k != 9);
    }

    void startUp()
    {
        kiparano w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral(u"ミヴォレタ★"));
        QCOMPARE(w.size(), QSize(421, 279));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QCOMPARE(label(w, 8)->text(), QStringLiteral(u"トゥミカ"));
        QCOMPARE(label(w, 7)->text(), QStringLiteral(u"下のボタンをクリック!"));
        for (int k = 1; k <= 6; ++k)
            QVERIFY(label(w, k)->text().isEmpty());
        QCOMPARE(label(w, 9)->toolTip(),
                 QStringLiteral(u"WEBサイトでご感想などをぜひ聞かせてください。"));
        QVERIFY(!w.windowIcon().isNull());

        // Focus starts on Mini Loto and Tab walks the four buttons in order.
        QCOMPARE(QApplication::focusWidget(), button(w, "miniroto"));
        for (const char *next : {"roto6", "Numbers3", "Numbers4", "miniroto"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), button(w, next));
        }
    }

    // Every character the program writes has a glyph in the font that draws it, whatever
    // Japanese fonts the machine has.
    void glyphsCovered()
    {
        QSet<QString> statusAndTitle = {QStringLiteral(u"トゥミカ"),
                                        QStringLiteral(u"下のボタンをクリック!")};
        for (const CheerTable *table : {&finalMessages, &interimMessages})
            for (QStringView message : *table)
                statusAndTitle.insert(message.toString());
        FakeSurface surface;
        roto6_Click(surface);
        miniroto_Click(surface, 0);
        Numbers3_Click(surface);
        Numbers4_Click(surface);
        for (const Event &e : std::as_const(surface.events))
            if (e.kind == Event::Write && e.label >= 7)
                statusAndTitle.insert(e.text);

        kiparano w;
        const QRawFont status = QRawFont::fromFont(label(w, 7)->font());
        const QRawFont title = QRawFont::fromFont(label(w, 8)->font());
        const QRawFont digits = QRawFont::fromFont(label(w, 1)->font());
        for (const QString &text : std::as_const(statusAndTitle))
            for (QChar ch : text)
                QVERIFY2(status.supportsCharacter(ch) && title.supportsCharacter(ch),
                         qPrintable(text));
        for (QChar ch : QStringLiteral("0123456789"))
            QVERIFY(digits.supportsCharacter(ch));

        // Buttons and the tooltip keep the platform's font where it has their characters.
        for (auto [font, text] : {std::pair{QToolTip::font(), label(w, 9)->toolTip()},
                                  {button(w, "miniroto")->font(), button(w, "miniroto")->text()},
                                  {button(w, "roto6")->font(), button(w, "roto6")->text()},
                                  {label(w, 9)->font(), label(w, 9)->text()}}) {
            const QRawFont face = QRawFont::fromFont(font);
            for (QChar ch : text)
                QVERIFY2(face.supportsCharacter(ch), qPrintable(text));
        }
    }

    // The picture lies under the boxes at every scale; at 2 it is the sharp rendering, pixel
    // for pixel. (Run again by CTest with QT_SCALE_FACTOR 1.5 and 2.)
    void background()
    {
        kiparano w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const qreal ratio = w.devicePixelRatio();
        const QImage shot = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.size(), (QSizeF(421, 279) * ratio).toSize());
        QCOMPARE(label(w, 1)->geometry(), QRect(40, 56, 36, 28));
        if (ratio != 1 && ratio != 2)
            return;
        const QImage picture = QImage(ratio == 1 ? QStringLiteral(":/assets/background.bmp")
                                                 : QStringLiteral(":/assets/background@2x.bmp"))
                                   .convertToFormat(QImage::Format_RGB32);
        const QRect clear(QPoint(226, 160) * ratio, QSize(20, 40) * ratio); // grill, no label
        QCOMPARE(shot.copy(clear), picture.copy(clear));
    }

    void assets()
    {
        QFile bmpFile(QStringLiteral(":/assets/background.bmp"));
        QVERIFY(bmpFile.open(QIODevice::ReadOnly));
        const QByteArray bmp = bmpFile.readAll();
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        QCOMPARE(bmp.size(), 361164);
        QCOMPARE(le32(bmp, 18), 425u);
        QCOMPARE(le32(bmp, 22), 283u);
        QCOMPARE(le16(bmp, 28), 24);
        QCOMPARE(le32(bmp, 30), 0u); // uncompressed

        QFile icoFile(QStringLiteral(":/assets/kiparano.ico"));
        QVERIFY(icoFile.open(QIODevice::ReadOnly));
        const QByteArray ico = icoFile.readAll();
        QCOMPARE(le16(ico, 2), 1);
        QCOMPARE(le16(ico, 4), 1);
        QCOMPARE(int(uchar(ico[6])), 32);
        QCOMPARE(int(uchar(ico[7])), 32);
        QCOMPARE(le16(ico, 22 + 14), 8); // bits per pixel of the one image
    }

    // Each button runs its game by mouse or by Space: its title, its proposal in the boxes in
    // play, the other boxes empty, one beep at the end.
    void buttonsRunTheirGames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("upper");
        QTest::newRow("Mini Loto")
            << u"miniroto"_qs << false << u"ミニロトの予想です!"_qs << 5 << 31;
        QTest::newRow("Loto 6, Space") << u"roto6"_qs << true << u"ロト6の予想です"_qs << 6 << 43;
        QTest::newRow("Numbers 3") << u"Numbers3"_qs << false << u"Numbers3の予想だよ"_qs << 3 << 9;
        QTest::newRow("Numbers 4, Space")
            << u"Numbers4"_qs << true << u"Numbers4の予想です"_qs << 4 << 9;
    }
    void buttonsRunTheirGames()
    {
        QFETCH(QString, name);
        QFETCH(bool, byKey);
        QFETCH(QString, title);
        QFETCH(int, boxes);
        QFETCH(int, upper);
        kiparano w;
        w.setTimeScale(0.002);
        Recorder rec(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int k = 1; k <= 6; ++k)
            label(w, k)->setText(QStringLiteral("88"));
        auto *b = w.findChild<QPushButton *>(name);
        if (byKey) {
            b->setFocus();
            QTest::keyClick(b, Qt::Key_Space);
        } else {
            QTest::mouseClick(b, Qt::LeftButton);
        }
        QCOMPARE(rec.log.count(QStringLiteral("beep")), 1);
        QCOMPARE(rec.log.constLast(), QStringLiteral("beep"));
        QCOMPARE(label(w, 8)->text(), title);
        std::set<int> shown;
        for (int k = 1; k <= 6; ++k) {
            const QString text = label(w, k)->text();
            QCOMPARE(text.isEmpty(), k > boxes);
            if (k <= boxes) {
                QVERIFY(text.toInt() >= (upper == 9 ? 0 : 1) && text.toInt() <= upper);
                shown.insert(text.toInt());
            }
        }
        QVERIFY(upper == 9 ? shown.size() > 1 : int(shown.size()) == boxes);
    }

    // Assistive technology reads every label and button by its current text (QLabel announces
    // each new text as a name change), each number box says which box it is, and only the
    // buttons take focus.
    void accessibility()
    {
        kiparano w;
        w.setTimeScale(0);
        w.show();
        button(w, "Numbers4")->click();
        for (QWidget *widget : w.findChildren<QWidget *>()) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(a);
            const auto *l = qobject_cast<QLabel *>(widget);
            const auto *b = qobject_cast<QPushButton *>(widget);
            QCOMPARE(a->text(QAccessible::Name), l ? l->text() : b->text());
            QCOMPARE(a->state().focusable, b != nullptr);
        }
        for (int k = 1; k <= 6; ++k)
            QCOMPARE(
                QAccessible::queryAccessibleInterface(label(w, k))->text(QAccessible::Description),
                QStringLiteral(u"%1番目の数字").arg(k));
    }

    void waitLastsItsDelay()
    {
        kiparano w;
        QElapsedTimer clock;
        for (double seconds : {0.001, 0.01, 0.05}) {
            clock.start();
            w.wait(seconds);
            QVERIFY(clock.nsecsElapsed() >= qint64(seconds * 1e9));
        }
    }

    // Numbers 3 pressed during Mini Loto's 0.8 s pause runs there; Mini Loto then resumes
    // with its own numbers.
    void pressDuringMiniLotoPause()
    {
        kiparano w;
        w.setTimeScale(0.1); // stage 4 frames take 30 ms, the pause after them 80 ms
        Recorder rec(w);
        bool thirdShown = false;
        int stage4Writes = 0;
        QStringList firstThree;
        connect(&w, &kiparano::textWritten, &w, [&](int k) {
            // Box 3 is fixed right after an interim message; stage 4 then writes boxes 4 to 6
            // in each of its 7 frames.
            if (!thirdShown) {
                thirdShown = k == 3 && rec.log.at(rec.log.size() - 2).startsWith(u"7:");
                return;
            }
            if (k >= 4 && k <= 6 && ++stage4Writes == 7 * 3) {
                for (int b = 1; b <= 3; ++b)
                    firstThree.append(label(w, b)->text());
                QTimer::singleShot(55, button(w, "Numbers3"), &QPushButton::click);
            }
        });
        button(w, "miniroto")->click();
        QCOMPARE(rec.log.count(QStringLiteral("beep")), 2);
        const qsizetype nested = rec.log.indexOf(u"8:Numbers3の予想だよ"_qs);
        QCOMPARE(rec.log.at(nested - 1), QStringLiteral("6:")); // after stage 4's last frame
        QVERIFY(rec.log.indexOf(QStringLiteral("beep")) < rec.log.size() - 3); // Mini Loto went on
        std::set<int> mini;
        for (const QString &n : std::as_const(firstThree))
            mini.insert(n.toInt());
        mini.insert(label(w, 4)->text().toInt());
        mini.insert(label(w, 5)->text().toInt());
        QCOMPARE(mini.size(), std::size_t(5));
        QVERIFY(*mini.begin() >= 1 && *mini.rbegin() <= 31);
        QVERIFY(label(w, 6)->text().isEmpty());
    }

    // Deleting the window while runs are nested unwinds them without touching it.
    void deleteDuringNestedRun()
    {
        QPointer<kiparano> w = new kiparano;
        w->setTimeScale(0.01);
        QTimer::singleShot(30, button(*w, "roto6"), &QPushButton::click);
        QTimer::singleShot(60, w, [&] { delete w.data(); });
        button(*w, "roto6")->click();
        QVERIFY(w.isNull());
    }

    // Closing the window during a nested run: nothing is written afterwards and the program
    // leaves its event loop at once, with status 0.
    void closeDuringNestedRunQuits()
    {
        QApplication::setQuitOnLastWindowClosed(true);
        kiparano w;
        w.setTimeScale(0.01);
        Recorder rec(w);
        w.show();
        qsizetype writtenAtClose = -1;
        QElapsedTimer sinceClose;
        QTimer::singleShot(0, button(w, "roto6"), &QPushButton::click);
        QTimer::singleShot(30, button(w, "roto6"), &QPushButton::click);
        QTimer::singleShot(60, &w, [&] {
            QCOMPARE(w.runDepth(), 2);
            writtenAtClose = rec.log.size();
            sinceClose.start();
            w.close();
        });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(sinceClose.elapsed() < 100);
        QCOMPARE(rec.log.size(), writtenAtClose);
        QCOMPARE(w.runDepth(), 0);
    }
};

QTEST_MAIN(TestKiparano)
#include "tst_kiparano.moc"

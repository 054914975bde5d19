// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "fakesurface.h"
#include "games/games.h"
#include "monitor.h"
#include "window/fonts.h"

#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRawFont>
#include <QTest>
#include <QTime>
#include <QTimer>

#include <cmath>

namespace {

QLabel *label(QWidget &w, int k)
{
    return w.findChild<QLabel *>(QStringLiteral("Label%1").arg(k));
}
QPushButton *button(QWidget &w, const char *name)
{
    return w.findChild<QPushButton *>(QLatin1String(name));
}

// The window with a fixed sequence of random values, for pictures that repeat.
class Scripted : public kiparano {
public:
    double rnd() override { return m_next = std::fmod(m_next + 0.3819660113, 1.0); }

private:
    double m_next = 0;
};

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        fonts::install();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The window after a Loto 6 run with fixed random values and a status text too wide for
    // one line, pixel for pixel against tests/reference/ at this screen's scale (CTest runs
    // it at 1 and 2). KIPARANO_UPDATE_REFERENCES=1 takes new references.
    void picture()
    {
        if (QGuiApplication::platformName() != u"offscreen")
            QSKIP("pictures are taken on the offscreen platform");
        Scripted w;
        w.setTimeScale(0);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        button(w, "roto6")->click();
        w.setText(Label::Label7, QStringLiteral(u"もうしばらくお待ちください なにがでるかな???"));
        QCoreApplication::processEvents(); // the repaints of what changed, and only those
        // What the window really holds: its backing store, in device pixels.
        QPaintDevice *store = w.backingStore()->paintDevice();
        QCOMPARE(store->devType(), int(QInternal::Image));
        const QImage shot = static_cast<QImage *>(store)->convertToFormat(QImage::Format_RGB32);
        const QString name = QStringLiteral("window@%1x.png").arg(w.devicePixelRatio());
        const QString reference = QStringLiteral(KIPARANO_REFERENCES "/") + name;
        if (qEnvironmentVariableIsSet("KIPARANO_UPDATE_REFERENCES"))
            QVERIFY(shot.save(reference));
        const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
        if (shot == expected)
            return;
        QImage difference = shot; // differing pixels in red over a faded picture
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                difference.setPixel(x, y,
                                    expected.valid(x, y) && shot.pixel(x, y) == expected.pixel(x, y)
                                        ? QColor(shot.pixel(x, y)).lighter(180).rgb()
                                        : qRgb(255, 0, 0));
        shot.save(QStringLiteral("actual-") + name);
        difference.save(QStringLiteral("difference-") + name);
        QFAIL(qPrintable(QStringLiteral("differs from %1: see actual-%2 and difference-%2 in %3")
                             .arg(reference, name, QDir::currentPath())));
    }

    void startUp()
    {
        kiparano w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral(u"ミヴォレタ★"));
        QCOMPARE(w.minimumSize(), QSize(421, 279));
        QCOMPARE(w.maximumSize(), QSize(421, 279));
        QCOMPARE(label(w, 8)->text(), QStringLiteral(u"トゥミカ"));
        QCOMPARE(label(w, 7)->text(), QStringLiteral(u"下のボタンをクリック!"));
        for (int k = 1; k <= 6; ++k)
            QVERIFY(label(w, k)->text().isEmpty());
        QCOMPARE(w.focusWidget(), button(w, "miniroto"));
        for (const char *next : {"roto6", "Numbers3", "Numbers4", "miniroto"}) {
            QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
            QCOMPARE(w.focusWidget(), button(w, next));
        }
    }

    // Every character that the program writes into the status line and the title has a
    // glyph in their fonts, whatever fonts the machine has.
    void glyphs()
    {
        FakeSurface s;
        roto6_Click(s), miniroto_Click(s, 0), Numbers3_Click(s), Numbers4_Click(s);
        kiparano w;
        QStringList texts = {label(w, 8)->text(), label(w, 7)->text()};
        for (const QString &write : std::as_const(s.log))
            if (write.startsWith(u"7:") || write.startsWith(u"8:"))
                texts << write.mid(2);
        for (const CheerTable *table : {&finalMessages, &interimMessages})
            for (QStringView message : *table)
                texts << message.toString();
        for (int k : {7, 8}) {
            const QRawFont font = QRawFont::fromFont(label(w, k)->font());
            for (const QString &text : std::as_const(texts))
                for (QChar ch : text)
                    QVERIFY2(font.supportsCharacter(ch), qPrintable(text));
        }
    }

    // Each button runs its own game, by mouse or by Space.
    void buttons()
    {
        kiparano w;
        w.setTimeScale(0);
        Monitor monitor(w);
        w.show();
        for (const char *name : {"miniroto", "roto6", "Numbers3"})
            QTest::mouseClick(button(w, name), Qt::LeftButton);
        button(w, "Numbers4")->setFocus();
        QTest::keyClick(button(w, "Numbers4"), Qt::Key_Space);
        QVERIFY2(monitor.failures.isEmpty(), qPrintable(monitor.failures.join(u"; ")));
        QCOMPARE(monitor.completed,
                 QStringList({u"ミニロトの予想です!"_qs, u"ロト6の予想です"_qs,
                              u"Numbers3の予想だよ"_qs, u"Numbers4の予想です"_qs}));
    }

    // Assistive technology sees the nine labels and four buttons by their current texts,
    // each number box says which box it is, the address its invitation, and only the
    // buttons take focus.
    void accessibility()
    {
        kiparano w;
        w.setTimeScale(0);
        w.show();
        button(w, "Numbers4")->click();
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&w);
        QCOMPARE(window->childCount(), 13);
        for (int i = 0; i < window->childCount(); ++i) {
            QAccessibleInterface *a = window->child(i);
            const auto *l = qobject_cast<QLabel *>(a->object());
            const auto *b = qobject_cast<QPushButton *>(a->object());
            QCOMPARE(a->text(QAccessible::Name), l ? l->text() : b->text());
            QCOMPARE(a->state().focusable, b != nullptr);
        }
        for (int k = 1; k <= 6; ++k)
            QCOMPARE(
                QAccessible::queryAccessibleInterface(label(w, k))->text(QAccessible::Description),
                QStringLiteral(u"%1番目の数字").arg(k));
        QCOMPARE(QAccessible::queryAccessibleInterface(label(w, 9))->text(QAccessible::Description),
                 QStringLiteral(u"WEBサイトでご感想などをぜひ聞かせてください。"));
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

    // Numbers 3 at its real pace while the wall clock crosses midnight and then jumps back an
    // hour (libfaketime driven through its timestamp file: see CMakeLists.txt). Waits are
    // measured on the monotonic clock, which neither touches.
    void paceAcrossMidnight()
    {
        const QString faketime = qEnvironmentVariable("FAKETIME_TIMESTAMP_FILE");
        if (faketime.isEmpty())
            QSKIP("needs libfaketime");
        const auto setOffset = [&](qint64 seconds) {
            QFile file(faketime);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write((seconds < 0 ? "" : "+") + QByteArray::number(seconds));
        };
        setOffset(0);
        const qint64 toMidnight =
            (QTime::currentTime().msecsTo(QTime(23, 59, 59)) + 999) / 1000 - 1;
        setOffset(toMidnight); // one to two seconds before midnight
        const QTime before = QTime::currentTime();
        QVERIFY(before >= QTime(23, 59, 57, 900));
        kiparano w;
        QTime afterMidnight;
        QTimer::singleShot(2200, &w, [&] {
            afterMidnight = QTime::currentTime();
            setOffset(toMidnight - 3600); // back an hour, to before midnight again
        });
        QElapsedTimer run;
        run.start();
        button(w, "Numbers3")->click();
        const QTime after = QTime::currentTime();
        QVERIFY2(afterMidnight < QTime(0, 1), qPrintable(afterMidnight.toString()));
        QVERIFY2(after > QTime(22, 0) && after < before, qPrintable(after.toString()));
        QVERIFY2(run.elapsed() >= 2460 && run.elapsed() < 2960,
                 qPrintable(QString::number(run.elapsed())));
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
        Monitor monitor(w);
        w.show();
        QElapsedTimer sinceClose;
        QTimer::singleShot(0, button(w, "roto6"), &QPushButton::click);
        QTimer::singleShot(30, button(w, "roto6"), &QPushButton::click);
        QTimer::singleShot(60, &w, [&] {
            QCOMPARE(w.runDepth(), 2);
            monitor.closed = true;
            sinceClose.start();
            w.close();
        });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(sinceClose.elapsed() < 100);
        QVERIFY2(monitor.failures.isEmpty(), qPrintable(monitor.failures.join(u"; ")));
        QCOMPARE(w.runDepth(), 0);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

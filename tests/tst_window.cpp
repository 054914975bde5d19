// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "desktop/deadlinetimer.h"
#include "desktop/platform.h"
#include "window/fonts.h"
#include "window/kiparano.h"

#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <numeric>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;

// The window with a fixed sequence of random values, for pictures that repeat.
struct Scripted : kiparano {
    double rnd() override { return next = std::fmod(next + 0.3819660113, 1.0); }
    double next = 0;
};

// A window whose timer ends every wait a millisecond late, at half speed, with its waits logged.
struct LateTimer : kiparano {
    static constexpr double scale = 0.5;
    LateTimer() { setTimeScale(scale); }
    void wait(double seconds) override
    {
        QElapsedTimer took;
        took.start();
        kiparano::wait(seconds);
        waits.append({runDepth(), seconds * scale, took.nsecsElapsed() / 1e9});
        QThread::usleep(1000);
    }
    struct Wait {
        int depth;
        double delay, length;
    };
    QList<Wait> waits;
};

class TestWindow : public QObject {
    Q_OBJECT

    static QLabel *label(QWidget &w, int k) { return w.findChild<QLabel *>(u"Label%1"_s.arg(k)); }
    static QPushButton *button(QWidget &w, const char *name)
    {
        return w.findChild<QPushButton *>(QLatin1String(name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        identifyApplication();
        fonts::install();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The desktop entry is the one the application names, its Wayland app id (desktop_sessions
    // checks the window class it names on X11).
    void identity()
    {
        QCOMPARE(QGuiApplication::desktopFileName() + u".desktop"_s,
                 QFileInfo(QStringLiteral(KIPARANO_DESKTOP_ENTRY)).fileName());
    }

    // After a scripted Loto 6 run and a status text too wide for one line, pixel for pixel against
    // tests/reference/ at scale 1 or 2; KIPARANO_UPDATE_REFERENCES=1 takes new references.
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
        const QString name = u"window@%1x.png"_s.arg(w.devicePixelRatio());
        const QString reference = QStringLiteral(KIPARANO_REFERENCES "/") + name;
        if (qEnvironmentVariableIsSet("KIPARANO_UPDATE_REFERENCES"))
            QVERIFY(shot.save(reference));
        const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
        if (shot != expected) {
            shot.save(u"actual-"_s + name);
            QFAIL(qPrintable(reference + u" differs: see actual-"_s + name));
        }
    }

    // At start: the title, the fixed size, the texts, the focus and its order; and what
    // assistive technology sees after a run: the nine labels and four buttons by their texts,
    // which box each number box is and the address's invitation; only the buttons take focus.
    void startUpAndAccessibility()
    {
        kiparano w;
        w.setTimeScale(0);
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral(u"ミヴォレタ★"));
        QCOMPARE(w.minimumSize(), w.maximumSize()); // and 421 x 279, as the picture shows
        QCOMPARE(label(w, 8)->text(), QStringLiteral(u"トゥミカ"));
        QCOMPARE(label(w, 7)->text(), QStringLiteral(u"下のボタンをクリック!"));
        for (int k = 1; k <= 6; ++k)
            QVERIFY(label(w, k)->text().isEmpty());
        QCOMPARE(w.focusWidget(), button(w, "miniroto"));
        for (const char *next : {"roto6", "Numbers3", "Numbers4", "miniroto"}) {
            QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
            QCOMPARE(w.focusWidget(), button(w, next));
        }
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
        for (int k : {1, 2, 3, 4, 5, 6, 9})
            QCOMPARE(
                QAccessible::queryAccessibleInterface(label(w, k))->text(QAccessible::Description),
                k < 9 ? u"%1番目の数字"_s.arg(k)
                      : u"WEBサイトでご感想などをぜひ聞かせてください。"_s);
    }

    // Waits one after another each end no earlier than their place on the timeline, the sum of
    // the delays so far, on one reused timer that wakes the event loop once a wait at most (a
    // wait no longer than its final sleep, not at all); a restart of the timer drops an expiry
    // due but not yet served, even one the event loop saw.
    void waitsKeepTheTimeline()
    {
        kiparano w;
        QElapsedTimer clock;
        clock.start();
        w.wait(0); // makes the timer
        auto *timer = w.findChild<DeadlineTimer *>();
        QSignalSpy wakeUps(timer, &DeadlineTimer::expired);
        double timeline = 0;
        qsizetype timed = 0; // the waits longer than their final sleep
        for (double seconds : {0.05, 0.001, 0.01, 0.0002}) {
            w.wait(seconds);
            QVERIFY(clock.nsecsElapsed() >= qint64((timeline += seconds) * 1e9));
            timed += std::chrono::duration<double>(seconds) > timer->wakeAhead();
        }
        QVERIFY(wakeUps.size() >= 1 && wakeUps.size() <= timed);
        bool restarted = false;
        int late = 0; // expiries served after the restart
        connect(timer, &DeadlineTimer::expired, &w, [&] { late += restarted; });
        timer->start(DeadlineTimer::Clock::now()), QThread::msleep(2);
        QTimer::singleShot(0, timer, [&] {
            restarted = true;
            timer->start(DeadlineTimer::Clock::now() + 1h);
        });
        // On Linux, posted events first, then the descriptors seen ready; on Windows the
        // expiry is itself a posted event, and the earlier one.
        QCoreApplication::processEvents();
        QVERIFY(restarted);
        QCOMPARE(late, 0);
        timer->start(DeadlineTimer::Clock::now()), QThread::msleep(2); // restarted at once
        timer->start(DeadlineTimer::Clock::now() + 1h);
        QCoreApplication::processEvents();
        QCOMPARE(late, 0);
    }

    // On a timer that ends every wait late, a Numbers 3 run keeps its length, the late time made
    // up by the waits that follow (unmade, it adds 63 ms); and a wait that a run nested in it held
    // up is not made up: the outer run's next wait lasts its full delay.
    void paceKept()
    {
        LateTimer w;
        QElapsedTimer run;
        run.start();
        button(w, "Numbers3")->click();
        const double over =
            run.nsecsElapsed() / 1e9 -
            std::accumulate(w.waits.begin(), w.waits.end(), 0.0,
                            [](double sum, auto &wait) { return sum + wait.delay; });
        QVERIFY2(over <= 0.04, qPrintable(u"%1 s longer"_s.arg(over)));

        w.waits.clear();
        QTimer::singleShot(300, button(w, "Numbers3"), &QPushButton::click); // in the 2nd stage
        button(w, "Numbers3")->click();
        const auto held = std::find_if(w.waits.begin(), w.waits.end(),
                                       [](auto &wait) { return wait.length > 1; });
        QVERIFY(held != w.waits.end() && held + 1 != w.waits.end());
        QCOMPARE(held->depth, 1);
        QVERIFY(held[1].length >= held[1].delay);
    }

    // Deleting the window while runs are nested unwinds them without touching it.
    void deleteDuringNestedRun()
    {
        QPointer<kiparano> w = new kiparano;
        w->setTimeScale(0.01);
        QTimer::singleShot(30, button(*w, "roto6"), &QPushButton::click);
        QTimer::singleShot(60, w, [&] { delete w.data(); });
        button(*w, "roto6")->click();
        QVERIFY(w.isNull()); // and nothing touched it: the sanitizers would see
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The program on the servers tests/CMakeLists.txt starts: X driven through XTest and closed as a
// window manager closes windows, a session bus, a screen reader, a sound server. DESKTOP_PROGRAM
// runs "wine kiparano.exe", say, with DESKTOP_CLASS and DESKTOP_YARDSTICK (in `sessions`).

#include "desktop/bell.h"
#include "window/kiparano.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <random>
#include <vector>

#include <signal.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace Qt::StringLiterals;

namespace {

// Input as a user gives it, through the X server.
struct User {
    ~User()
    {
        if (x)
            XCloseDisplay(x);
    }

    void click(Window window, int dx, int dy)
    {
        int rootX, rootY;
        Window child;
        XTranslateCoordinates(x, window, DefaultRootWindow(x), dx, dy, &rootX, &rootY, &child);
        XTestFakeMotionEvent(x, -1, rootX, rootY, CurrentTime);
        XTestFakeButtonEvent(x, 1, True, CurrentTime);
        XTestFakeButtonEvent(x, 1, False, CurrentTime);
        XFlush(x);
    }
    void key(KeySym symbol)
    {
        const KeyCode code = XKeysymToKeycode(x, symbol);
        XTestFakeKeyEvent(x, code, True, CurrentTime);
        XTestFakeKeyEvent(x, code, False, CurrentTime);
        XFlush(x);
    }
    // What a window manager sends when the user closes the window, over its connection that
    // stays open; the round trip makes sure the server has passed it on.
    void close(Window window)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, window, False, NoEventMask, &event);
        XSync(x, False);
    }
    // The window on the screen: the program's, the only one on the tests' X server with a name
    // and a size (Wine keeps unnamed helper windows of its own there).
    Window shown()
    {
        if (!x) // run under xvfb-run
            return 0;
        Window root, parent, *children = nullptr, found = 0;
        unsigned count = 0;
        XWindowAttributes attributes;
        XTextProperty name;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count && !found; ++i)
            if (XGetWindowAttributes(x, children[i], &attributes) &&
                attributes.map_state == IsViewable && attributes.width > 1 &&
                XGetWMName(x, children[i], &name)) {
                XFree(name.value);
                found = children[i];
            }
        XFree(children);
        return found;
    }

    Display *x = XOpenDisplay(nullptr);
};

// What `said` finds in each whole line of the log of the server that with-service.sh started:
// its first capture, or else all it matched.
QStringList logged(const QRegularExpression &said)
{
    QFile file(qEnvironmentVariable("SERVICE_LOG"));
    QStringList lines;
    if (file.open(QIODevice::ReadOnly))
        for (const QString &line :
             QString::fromUtf8(file.readAll()).section(u'\n', 0, -2).split(u'\n'))
            if (const auto match = said.match(line); match.hasMatch())
                lines << match.captured(match.lastCapturedIndex());
    return lines;
}

// The real program, started on the X server.
class Program : public QProcess {
public:
    explicit Program(User &user, const QString &program = qEnvironmentVariable(
                                     "DESKTOP_PROGRAM", QStringLiteral(KIPARANO_PROGRAM)))
    {
        QStringList command = QProcess::splitCommand(program);
        start(command.takeFirst(), command);
        [[maybe_unused]] const bool shown =
            QTest::qWaitFor([&] { return (window = user.shown()); }, 10000);
    }
    ~Program() override { kill(), waitForFinished(); }

    // After the close: what went wrong, if the program did not exit with status 0 within
    // `limit` ms and without a word from the sanitizers; with every thread's stack if it still
    // runs.
    QString fault(qint64 limit = 500)
    {
        QElapsedTimer sinceClose;
        sinceClose.start();
        const bool exited = waitForFinished(5000);
        const qint64 ms = sinceClose.elapsed();
        const QString errors = QString::fromLocal8Bit(readAllStandardError());
        if (exited && ms <= limit && exitCode() == 0 && !errors.contains(u"Sanitizer"_s) &&
            !errors.contains(u"runtime error"_s))
            return {};
        QProcess gdb; // every thread's stack, if it still runs
        if (!exited)
            gdb.start(u"gdb"_s, {u"-batch"_s, u"-p"_s, QString::number(processId()), u"-ex"_s,
                                 u"thread apply all bt"_s});
        gdb.waitForFinished(60000);
        return u"%1 ms after the close, %2 %3\n"_s.arg(ms)
                   .arg(exited ? u"status"_s : u"running"_s)
                   .arg(exitCode()) +
               errors.right(3000) + QString::fromLocal8Bit(gdb.readAllStandardOutput());
    }

    Window window = 0;
};

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

    User user;

private Q_SLOTS:
    void sessions()
    {
        const int count = qEnvironmentVariable("DESKTOP_SESSIONS", u"20"_s).toInt();
        const quint64 first = qEnvironmentVariable("DESKTOP_SEED", u"1"_s).toULongLong();
        QFile launcher(QStringLiteral(KIPARANO_DESKTOP_ENTRY)); // its desktop entry
        QByteArray entry = launcher.open(QIODevice::ReadOnly) ? launcher.readAll() : "";
        if (qEnvironmentVariableIsSet("DESKTOP_CLASS")) // what Wine names a program's windows
            entry = "\nStartupWMClass=" + qgetenv("DESKTOP_CLASS") + '\n';
        // 0.5 s, and where the platform's own teardown is slow (Wine), the yardstick's.
        qint64 limit = 500;
        if (const QString yardstick = qEnvironmentVariable("DESKTOP_YARDSTICK");
            !yardstick.isEmpty()) {
            Program least(user, yardstick);
            QVERIFY(least.window);
            QElapsedTimer took;
            took.start();
            user.close(least.window);
            QVERIFY(least.waitForFinished(30000));
            limit += took.elapsed();
            qInfo("the yardstick exits %lld ms after its close", took.elapsed());
        }
        QStringList failed;
        for (quint64 seed = first; seed < first + quint64(count); ++seed) {
            std::mt19937_64 rng(seed);
            Program program(user);
            QVERIFY(program.window);
            XClassHint hint{}; // the window's class, which docks match with a desktop entry
            XGetClassHint(user.x, program.window, &hint);
            QVERIFY(entry.contains("\nStartupWMClass=" + QByteArray(hint.res_class) + '\n'));
            XFree(hint.res_name), XFree(hint.res_class);
            for (int presses = 2 + int(rng() % 11); presses > 0; --presses) {
                const int what = int(rng() % 6);
                if (what < 4) // a game button, in the row along the bottom
                    user.click(program.window, 84 + 80 * what, 244);
                else
                    user.key(what == 4 ? XK_Tab : XK_space);
                QTest::qWait(rng() % 4 ? int(rng() % 800) : 0);
            }
            user.close(program.window);
            const QString fault = program.fault(limit);
            if (!fault.isEmpty())
                failed << QString::number(seed), qWarning("seed %llu: %s", seed, qPrintable(fault));
        }
        qInfo("%d sessions from seed %llu, %lld failed", count, first, failed.size());
        QVERIFY2(failed.isEmpty(), qPrintable(u"failed seeds: "_s + failed.join(u' ')));
    }

    // Orca speaks each run that ends (a Numbers 3 run, then one nested in a Loto 6 run) with its
    // game, the numbers its boxes show and its final message, and nothing of a run cut short by
    // the close.
    void heard()
    {
        if (!qEnvironmentVariableIsSet("SERVICE_LOG"))
            QSKIP("no screen reader: run under with-service.sh orca");
        // A notice (Qt before 6.8) is said with "notification" first, an announcement alone.
        const QRegularExpression speech(u"SPEECH OUTPUT: '(?:notification )?(.*?)\\.?'"_s);
        QApplication::setQuitOnLastWindowClosed(false);
        kiparano w;
        const QList<QLabel *> labels = w.findChildren<QLabel *>(); // Label1 to Label9
        QStringList ends; // at each bell: its run's game, the numbers and the message shown
        connect(&w, &kiparano::beeped, &w, [&] {
            QStringList words{ends.size() < 2 ? u"Numbers3の予想だよ"_s : u"ロト6の予想です"_s};
            for (int k = 0; k < (ends.size() < 2 ? 3 : 6); ++k)
                words << labels[k]->text();
            ends << (words << labels[6]->text()).join(u' ');
        });
        w.show();
        w.activateWindow(); // as a window manager gives a new window the focus
        QTRY_VERIFY(logged(speech).contains(u"ミヴォレタ★"_s));

        user.key(XK_Tab), user.key(XK_Tab), user.key(XK_space); // Numbers 3
        QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, 10000);
        user.key(XK_Tab), user.key(XK_Tab), user.key(XK_Tab), user.key(XK_space); // Loto 6
        // and Numbers 3 within it
        QTimer::singleShot(3000, &w, [&] { user.key(XK_Tab), user.key(XK_space); });
        QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 3, 25000);
        user.key(XK_space); // Numbers 3, closed before it ends
        QTimer::singleShot(1000, &w, [&] { user.close(w.winId()); });
        QTRY_VERIFY(!w.isVisible());
        QTest::qWait(2000);
        const QStringList runs =
            logged(speech).filter(QRegularExpression(u"^(Numbers3の予想だよ|ロト6の予想です) "_s));
        qInfo("Orca said:\n%s", qPrintable(runs.join(u'\n')));
        QCOMPARE(runs, ends);
    }

    // Where no session bus runs (its address leads nowhere, or is unset and libdbus fails to
    // autolaunch one), the real program plays two Numbers 3 runs to one bell sound each and exits
    // with status 0 at once when closed during a third, which rings none; also when the sound
    // server stalls (SIGSTOP) as the first bell is about to play, which then never sounds.
    void withoutSessionBus_data()
    {
        QTest::addColumn<bool>("stall");
        QTest::newRow("bell") << false;
        QTest::newRow("stalled") << true;
    }
    void withoutSessionBus()
    {
        QFETCH(bool, stall);
        const QString bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY2(bus.isEmpty() || (bus.startsWith(u"unix:path="_s) && !QFile::exists(bus.mid(10))),
                 "run under world.sh without --bus");
        const auto server = pid_t(qEnvironmentVariableIntValue("SERVICE_PID"));
        const QRegularExpression played(u"Created input"_s); // a stream to the sound server
        if (!server)
            QSKIP("no sound server: run under with-service.sh pulseaudio");
        Program program(user);
        QVERIFY(program.window);
        const int rung = stall ? 0 : 2;
        for (int run = 0; run <= rung; ++run) {
            user.click(program.window, 244, 244); // Numbers 3: its bell rings after 2.46 s
            if (run < rung)
                QTRY_COMPARE_WITH_TIMEOUT(logged(played).size(), run + 1, 10000);
        }
        QTest::qWait(2000);
        if (stall)
            ::kill(server, SIGSTOP), QTest::qWait(2000);
        user.close(program.window);
        const QString fault = program.fault();
        ::kill(server, SIGCONT);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QTest::qWait(1000);
        QCOMPARE(logged(played).size(), rung);
    }

    // With no sound server, the system beep stands in for the bell (BELL_WAY=SystemBeep); where
    // the desktop has switched event sounds off (tests/settings), it keeps quiet (Silenced).
    void ring()
    {
        Bell bell;
        QSignalSpy rang(&bell, &Bell::rang);
        bell.ring();
        QVERIFY(rang.wait());
        QCOMPARE(QMetaEnum::fromType<Bell::Way>().valueToKey(rang[0][0].toInt()),
                 qgetenv("BELL_WAY"));
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"

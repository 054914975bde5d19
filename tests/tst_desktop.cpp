// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// The program on real servers, through XTest or Mutter's remote desktop (or DESKTOP_PROGRAM).

#include "desktop/bell.h"
#include "window/kiparano.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusInterface>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include <signal.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace Qt::StringLiterals;

namespace {

// Input as a user gives it, through the X server.
struct User {
    ~User() { x ? XCloseDisplay(x) : 0; }

    void click(Window window, int dx, int dy, unsigned button = 1)
    {
        int rootX, rootY;
        Window child;
        XTranslateCoordinates(x, window, DefaultRootWindow(x), dx, dy, &rootX, &rootY, &child);
        XTestFakeMotionEvent(x, -1, rootX, rootY, CurrentTime);
        XTestFakeButtonEvent(x, button, True, CurrentTime);
        XTestFakeButtonEvent(x, button, False, CurrentTime);
        XFlush(x);
    }
    void key(KeySym symbol, KeySym held = NoSymbol)
    {
        const KeyCode code = XKeysymToKeycode(x, symbol), modifier = XKeysymToKeycode(x, held);
        for (int i = 0; i < 4; ++i) // down: the modifier (if any), the key; then up, the other way
            if (const KeyCode key = i % 3 ? code : modifier)
                XTestFakeKeyEvent(x, key, i < 2, CurrentTime);
        XFlush(x);
    }
    // What a window manager sends to close the window, passed on by the round trip.
    void close(Window window)
    {
        XEvent event{
            .xclient = {
                ClientMessage, 0, False, x, window, XInternAtom(x, "WM_PROTOCOLS", False), 32, {}}};
        event.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
        XSendEvent(x, window, False, NoEventMask, &event);
        XSync(x, False);
    }
    // The windows on the screen, by their ids.
    std::set<Window> windows()
    {
        std::set<Window> found;
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (x && XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count))
            found.insert(children, children + count);
        XFree(children);
        return found;
    }
    // The program's window: a new one with a name and a size (not Wine's unnamed helpers).
    Window shown(const std::set<Window> &before)
    {
        XWindowAttributes attributes;
        XTextProperty name;
        for (Window window : windows())
            if (!before.count(window) && XGetWindowAttributes(x, window, &attributes) &&
                attributes.map_state == IsViewable && attributes.width > 1 &&
                XGetWMName(x, window, &name)) {
                XFree(name.value);
                return window;
            }
        return 0;
    }

    Display *x = XOpenDisplay(nullptr);
};

// A log as it is written: its whole lines so far, or what `said` finds in each (its last capture).
struct Log {
    Log(const QString &name, const QString &path)
        : name(name),
          file(path)
    {
    }
    QStringList lines(const QRegularExpression &said = {})
    {
        if (file.isOpen() || file.open(QIODevice::ReadOnly))
            unfinished += file.readAll();
        if (const qsizetype end = unfinished.lastIndexOf('\n'); end >= 0) {
            for (const QByteArray &line : unfinished.first(end).split('\n'))
                all << QString::fromUtf8(line);
            unfinished.remove(0, end + 1);
        }
        if (said.pattern().isEmpty())
            return all;
        auto &[looked, matches] = found[said.pattern()];
        for (; looked < all.size(); ++looked) // each line looked at once
            if (const auto match = said.match(all[looked]); match.hasMatch())
                matches << match.captured(match.lastCapturedIndex());
        return matches;
    }
    QString ends() // for a failure
    {
        const QStringList last = lines().mid(all.size() - 30) << QString::fromUtf8(unfinished);
        return u"\n"_s + name + u" ends:\n"_s + last.join(u'\n');
    }

    QString name;
    QFile file;
    QByteArray unfinished; // a line still being written
    QStringList all;
    std::map<QString, std::pair<qsizetype, QStringList>> found; // lines looked at, found
};

Log server(u"the server's log"_s, qEnvironmentVariable("SERVICE_LOG"));

// Waits for the desktop generously, for a machine may be slow or busy.
bool waitFor(const std::function<bool()> &done, int seconds = 60)
{
    return QTest::qWaitFor(done, seconds * 1000);
}

// Nothing once the clipboard (xclip, wl-paste), read after each `press`, matches `expected`.
QString clipboardAwaits(const QString &expected, const std::function<void()> &press)
{
    const QRegularExpression whole(QRegularExpression::anchoredPattern(expected));
    QString held;
    const auto look = [&] {
        press(), QTest::qWait(500); // read as the copy is made, Wine's clipboard may refuse it
        QProcess reader;
        reader.setProcessChannelMode(QProcess::MergedChannels);
        reader.startCommand(qEnvironmentVariable("QT_QPA_PLATFORM") == u"wayland"
                                ? u"wl-paste -n"_s
                                : u"xclip -o -selection clipboard"_s);
        if (!reader.waitForFinished(10000)) // an owner that never answers (Wine, busy, re-taking
            reader.kill(), reader.waitForFinished(); // it at each press): ask again
        const bool read = reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0;
        held = QString::fromUtf8(reader.readAll()) + (read ? QString() : reader.errorString());
        return read && whole.match(held).hasMatch();
    };
    return waitFor(look, 120) ? QString() : u"the clipboard holds: "_s + held;
}

// Nothing once `copy` has the last of two Numbers 3 runs, one in the other, `copyAll` both.
const QString numbers3 = u"Numbers3の予想だよ \\d \\d \\d"_s, both = numbers3 + u'\n' + numbers3;
QString copiesRead(const std::function<void()> &copy, const std::function<void()> &copyAll)
{
    const QString fault = clipboardAwaits(numbers3, copy);
    return fault.isEmpty() ? clipboardAwaits(both, copyAll) : fault;
}

// Keys typed through Mutter's remote desktop: pressed in turn, let go the other way; its answer.
QString typeOnMutter(std::initializer_list<quint32> keys)
{
    static const QString service = u"org.gnome.Mutter.RemoteDesktop"_s;
    static QDBusInterface *session = nullptr; // made at the first key, kept while Mutter runs
    if (!session) {
        QDBusInterface desktop(service, u"/org/gnome/Mutter/RemoteDesktop"_s, service);
        const QDBusReply<QDBusObjectPath> made = desktop.call(u"CreateSession"_s);
        if (!made.isValid())
            return made.error().message();
        session = new QDBusInterface(service, made.value().path(), service + u".Session"_s);
        session->call(u"Start"_s);
    }
    // Sent at once, the last waited for: a key held while Mutter answers repeats on a busy machine.
    for (const quint32 key : keys)
        session->asyncCall(u"NotifyKeyboardKeysym"_s, key, true);
    for (auto key = std::rbegin(keys); key != std::rend(keys) - 1; ++key)
        session->asyncCall(u"NotifyKeyboardKeysym"_s, *key, false);
    return session->call(u"NotifyKeyboardKeysym"_s, *keys.begin(), false).errorMessage();
}

// The real program, started on the desktop (on X, found by its new window).
class Program : public QProcess {
public:
    explicit Program(User &user)
    {
        QStringList command = QProcess::splitCommand(
            qEnvironmentVariable("DESKTOP_PROGRAM", QStringLiteral(KIPARANO_PROGRAM)));
        setProcessChannelMode(MergedChannels);
        setStandardOutputFile(output.file.fileName());
        const std::set<Window> before = user.windows();
        start(command.takeFirst(), command);
        waitFor([&] { return !user.x || (window = user.shown(before)) || state() == NotRunning; });
    }
    ~Program() override { kill(), waitForFinished(); }

    // For a failure: whether it runs (every thread's stack), exited or never started; its output.
    QString seen()
    {
        QProcess gdb;
        gdb.setProcessChannelMode(MergedChannels);
        if (state() != NotRunning)
            gdb.start(u"gdb"_s, {u"-batch"_s, u"-p"_s, QString::number(processId()), u"-ex"_s,
                                 u"thread apply all bt"_s}),
                gdb.waitForFinished(120000);
        return (error() == FailedToStart    ? u"it did not start: "_s + errorString()
                : state() != NotRunning     ? u"it runs"_s
                : exitStatus() == CrashExit ? u"it crashed"_s
                                            : u"it exited with status %1"_s.arg(exitCode())) +
               output.ends() + QString::fromLocal8Bit(gdb.readAll());
    }

    // After the close: what went wrong, unless it exited with `status` within `limit` ms, clean.
    QString fault(qint64 limit, int status = 0)
    {
        QElapsedTimer sinceClose;
        sinceClose.start();
        const bool late = (state() != NotRunning && !waitForFinished(int(limit) + 10000)) ||
                          sinceClose.elapsed() > limit;
        const bool clean = output.lines(QRegularExpression(u"Sanitizer|runtime error"_s)).isEmpty();
        if (late || exitStatus() != NormalExit || exitCode() != status || !clean)
            return u"%1 ms after the close (%2 allowed): "_s.arg(sinceClose.elapsed()).arg(limit) +
                   seen();
        return {};
    }

    Window window = 0;
    QTemporaryDir dir;
    Log output{u"its output"_s, dir.filePath(u"output"_s)};
};

// How long a close may take: twice what it takes here, now, as soon as it shows, and a second.
// `closed` closes it (by default as an X window manager does) and says whether that reached it.
qint64 closeLimit(User &user, const std::function<bool(Program &)> &closed = {})
{
    Program least(user);
    const bool reached = closed ? closed(least) : least.window && (user.close(least.window), true);
    QElapsedTimer took;
    took.start();
    if (!reached || (least.state() != QProcess::NotRunning && !least.waitForFinished(120000)))
        return qWarning("no yardstick: %s", qPrintable(least.seen())), 0;
    qInfo("the program closed as soon as it shows exits %lld ms after its close", took.elapsed());
    return 2 * took.elapsed() + 1000;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

    User user;

private Q_SLOTS:
    // The real program on X (or Wine) through XTest: its window's class is its desktop entry's;
    // two Numbers 3 runs, one in the other, copied by Ctrl+C and the menu (Shift+F10); closed in a
    // nested run, it exits in time, its copy kept by the clipboard manager (Wine: by Windows).
    void copiedOnX()
    {
        QFile launcher(QStringLiteral(KIPARANO_DESKTOP_ENTRY));
        QByteArray entry = launcher.open(QIODevice::ReadOnly) ? launcher.readAll() : "";
        if (qEnvironmentVariableIsSet("DESKTOP_CLASS")) // what Wine names a program's windows
            entry = "\nStartupWMClass=" + qgetenv("DESKTOP_CLASS") + '\n';
        const Atom manager = XInternAtom(user.x, "CLIPBOARD_MANAGER", False);
        const auto managed = [&] { return XGetSelectionOwner(user.x, manager) != None; };
        QVERIFY2(qEnvironmentVariableIsSet("DESKTOP_CLASS") || waitFor(managed),
                 "no clipboard manager: run under with-service.sh xfsettingsd");
        const qint64 limit = closeLimit(user);
        QVERIFY(limit > 0);
        Program program(user);
        QVERIFY2(program.window, qPrintable(u"no window: "_s + program.seen()));
        XClassHint hint{}; // the window's class, which docks match with a desktop entry
        XGetClassHint(user.x, program.window, &hint);
        const QByteArray named = "\nStartupWMClass=" + QByteArray(hint.res_class) + '\n';
        XFree(hint.res_name), XFree(hint.res_class);
        QVERIFY2(entry.contains(named), named.constData());

        user.click(program.window, 244, 244), user.click(program.window, 244, 244);
        const auto copy = [&] { user.key(XK_c, XK_Control_L); };
        const auto copyAll = [&] {
            user.key(XK_F10, XK_Shift_L), user.key(XK_Up), user.key(XK_Return);
        };
        QString fault = copiesRead(copy, copyAll);
        QVERIFY2(fault.isEmpty(), qPrintable(fault + u'\n' + program.seen()));
        user.click(program.window, 244, 244), QTest::qWait(1000); // Numbers 3, Mini Loto in it
        user.click(program.window, 84, 244), QTest::qWait(1000);
        user.close(program.window);
        QVERIFY2((fault = program.fault(limit)).isEmpty(), qPrintable(fault));
        QVERIFY2((fault = clipboardAwaits(both, [] {})).isEmpty(), qPrintable(fault));
    }

    // The same on Mutter, typed through its remote desktop, read by wl-paste, closed by Alt+F4.
    // The test is no client of Mutter; the program prints what Mutter sends it (WAYLAND_DEBUG).
    void copiedOnMutter()
    {
        QString typing; // Mutter's answers to the keys, where not a success
        const auto type = [&](std::initializer_list<quint32> keys) {
            typing += typeOnMutter(keys);
        };
        type({XK_Shift_L});
        QVERIFY2(typing.isEmpty(), qPrintable(u"no remote desktop: "_s + typing));
        const auto sent = [](Program &program, const QString &event, std::function<void()> press) {
            const QRegularExpression line(u"(xdg_toplevel|wl_keyboard)[@#][0-9]+\\."_s + event);
            const auto printed = [&] { return !program.output.lines(line).isEmpty(); };
            return waitFor([&] { return press(), waitFor(printed, 5); });
        };
        const auto closed = [&](Program &program) { // Alt+F4 again if Mutter drops it (busy)
            return sent(program, u"close\\("_s, [&] { type({XK_Alt_L, XK_F4}); });
        };
        qint64 shown = 0; // ms from the first program's start to its keyboard
        const qint64 limit = closeLimit(user, [&](Program &least) {
            QElapsedTimer started;
            started.start();
            const bool entered = sent(least, u"enter\\("_s, [] {});
            shown = started.elapsed();
            return entered && closed(least);
        });
        QVERIFY2(limit > 0, qPrintable(typing));
        Program program(user);
        QVERIFY2(sent(program, u"enter\\("_s, [] {}), qPrintable(program.seen()));
        // Qt 6.8 focuses a moment later (Tab, Tab, Space at once gave Loto 6): wait as the first.
        QTest::qWait(int(std::max<qint64>(2000, shown)));
        type({XK_Tab}), type({XK_Tab}), type({XK_space}), QTest::qWait(1000), type({XK_space});
        const auto copy = [&] { type({XK_Control_L, XK_c}); };
        const auto copyAll = [&] { type({XK_Shift_L, XK_F10}), type({XK_Up}), type({XK_Return}); };
        QString fault = copiesRead(copy, copyAll);
        const QRegularExpression keys(u"(.*wl_keyboard[@#][0-9]+\\.(?:key|repeat_info)\\(.*)"_s);
        QVERIFY2(fault.isEmpty(), qPrintable(fault + u"\nthe keys it was sent:\n"_s +
                                             program.output.lines(keys).join(u'\n') + u'\n' +
                                             typing + program.seen()));
        type({XK_space}), QTest::qWait(1000); // Numbers 3, Mini Loto in it
        type({XK_Shift_L, XK_Tab}), type({XK_Shift_L, XK_Tab}), type({XK_space}),
            QTest::qWait(1000);
        QVERIFY2(closed(program), qPrintable(typing + program.seen()));
        QVERIFY2((fault = program.fault(limit)).isEmpty(), qPrintable(fault));
    }

    // X gone in a nested run after a copy: the program exits with status 1 (Qt's xcb), no hang.
    void xServerGone()
    {
        Program program(user);
        QVERIFY2(program.window, qPrintable(u"no window: "_s + program.seen()));
        user.click(program.window, 244, 244), QTest::qWait(3000), user.key(XK_c, XK_Control_L);
        user.click(program.window, 244, 244), QTest::qWait(1000),
            user.click(program.window, 84, 244);
        XCloseDisplay(std::exchange(user.x, nullptr));
        ::kill(pid_t(qEnvironmentVariableIntValue("SERVICE_PID")), SIGKILL);
        const QString fault = program.fault(60000, 1);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // Orca says each run that ends, not one the close cuts short, and the menu's entry.
    void heard()
    {
        QVERIFY2(qEnvironmentVariableIsSet("SERVICE_LOG"), "run under with-service.sh orca");
        // A notice (Qt before 6.8) is said with "notification" first, an announcement alone.
        const QRegularExpression speech(u"SPEECH OUTPUT: '(?:notification )?(.*?)\\.?'"_s);
        QApplication::setQuitOnLastWindowClosed(false);
        kiparano w;
        const QList<QLabel *> labels = w.findChildren<QLabel *>(); // Label1 to Label9
        QStringList proposals, ends; // at each bell: its game and numbers, and the message shown
        const auto widgets = [&] { return w.findChildren<QWidget *>(Qt::FindDirectChildrenOnly); };
        const qsizetype made = widgets().size();
        connect(&w, &kiparano::beeped, &w, [&] {
            QStringList words{ends.size() < 2 ? u"Numbers3の予想だよ"_s : u"ロト6の予想です"_s};
            for (int k = 0; k < (ends.size() < 2 ? 3 : 6); ++k)
                words << labels[k]->text();
            proposals << words.join(u' ');
            ends << (words << labels[6]->text()).join(u' ');
        });
        w.show();
        w.activateWindow(); // as a window manager gives a new window the focus
        QVERIFY2(waitFor([&] { return server.lines(speech).contains(u"ミヴォレタ★"_s); }, 300),
                 qPrintable(u"the title was not said"_s + server.ends()));
        const auto shown = [&] { return labels[7]->text() + u": "_s + labels[6]->text(); };

        user.key(XK_Tab), user.key(XK_Tab), user.key(XK_space); // Numbers 3
        QVERIFY2(waitFor([&] { return ends.size() == 1; }), qPrintable(shown()));
        user.key(XK_Tab), user.key(XK_Tab), user.key(XK_Tab), user.key(XK_space);    // Loto 6,
        QTimer::singleShot(3000, &w, [&] { user.key(XK_Tab), user.key(XK_space); }); // N3 in it
        QVERIFY2(waitFor([&] { return ends.size() == 3; }, 120), qPrintable(shown()));
        QCOMPARE(w.proposals(), proposals);
        QCOMPARE_LE(widgets().size(), made + 2); // at the most a notice for each depth (Qt 6.4)
        // A busy machine's Orca comes late (over a minute beside sanitized builds): five each.
        const QRegularExpression run(u"^(Numbers3の予想だよ|ロト6の予想です) "_s);
        QVERIFY2(waitFor([&] { return server.lines(speech).filter(run).size() >= 3; }, 300),
                 qPrintable(u"runs ended:\n"_s + ends.join(u'\n') + u"\nOrca said:\n"_s +
                            server.lines(speech).join(u'\n') + server.ends()));

        user.click(w.winId(), 300, 150, 3); // the menu, and in it the last entry
        user.key(XK_Up);
        const QString all = u"これまでの予想をすべてコピー"_s;
        QVERIFY2(waitFor([&] { return !server.lines(speech).filter(all).isEmpty(); }, 300),
                 qPrintable(u"no \""_s + all + u"\" said"_s + server.ends()));
        user.key(XK_Return);
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), proposals.join(u'\n'));

        user.key(XK_space); // Numbers 3, closed before it ends
        QTimer::singleShot(1000, &w, [&] { user.close(w.winId()); });
        QVERIFY2(waitFor([&] { return !w.isVisible(); }), "the window did not close");
        QTest::qWait(2000); // for anything said of the run cut short
        const QStringList runs = server.lines(speech).filter(run);
        qInfo("Orca said:\n%s", qPrintable(runs.join(u'\n')));
        QCOMPARE(runs, ends);
    }

    // The real program's bells: two Numbers 3 runs, one in the other, heard once each; closed in
    // a third, it exits in time, also with the server stopped (SIGSTOP) or playing nothing (no
    // session manager); the server ended and started again in a run, each later bell heard.
    void bells_data()
    {
        QTest::addColumn<int>("heard");
        QTest::addColumn<bool>("stall");
        QTest::addColumn<bool>("restart");
        QTest::newRow("bell") << 2 << false << false;
        QTest::newRow("stalled") << 0 << true << false;
        QTest::newRow("unheard") << 0 << false << false;
        QTest::newRow("restarted") << 2 << false << true;
    }
    void bells()
    {
        QFETCH(int, heard);
        QFETCH(bool, stall);
        QFETCH(bool, restart);
        const QRegularExpression played(qEnvironmentVariable("SERVICE_PLAYED"));
        QVERIFY2(!played.pattern().isEmpty(), "no sound server: run under with-service.sh");
        const qint64 limit = closeLimit(user);
        QVERIFY(limit > 0);
        Program program(user);
        QVERIFY2(program.window, qPrintable(u"no window: "_s + program.seen()));
        const auto numbers3 = [&] { user.click(program.window, 244, 244); };
        const auto bells = [&](int count) {
            return waitFor([&] { return server.lines(played).size() == count; });
        };
        const pid_t player = pid_t(qEnvironmentVariableIntValue("SERVICE_PID"));
        const auto restarted = [&] { // ended, and answering again
            ::kill(player, SIGKILL);
            return waitFor([] {
                QProcess pactl;
                pactl.start(u"pactl"_s, {u"get-default-sink"_s});
                return pactl.waitForFinished() && pactl.readAll().trimmed() == "kiparano";
            });
        };
        if (heard)
            numbers3(), QTest::qWait(1000), numbers3();
        QVERIFY2(bells(heard), qPrintable(program.seen() + server.ends()));
        if (restart) { // ended during a run: its bell and a nested one's connect afresh
            numbers3(), QTest::qWait(1000);
            QVERIFY2(restarted(), qPrintable(u"not started again"_s + server.ends()));
            numbers3();
            QVERIFY2(bells(heard = 4), qPrintable(program.seen() + server.ends()));
        }
        numbers3(), QTest::qWait(2000);
        if (stall)
            ::kill(player, SIGSTOP);
        if (!heard)
            QTest::qWait(2000); // its bell rung, and under way
        user.close(program.window);
        const QString fault = program.fault(limit);
        if (stall)
            ::kill(player, SIGCONT);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QTest::qWait(1000);
        QCOMPARE(server.lines(played).size(), heard);
    }

    // No sound server: the system beep; event sounds off: silence (BELL_WAY), nothing played.
    void ring()
    {
        for (int i = 0; i < 1000; ++i) // Bells gone as they ring, their threads let go at once
            Bell().ring(), QThread::usleep(i % 30 * 100);
        Bell bell;
        QSignalSpy rang(&bell, &Bell::rang);
        bell.ring();
        QVERIFY2(rang.wait(60000), "the bell said nothing of how it rang within a minute");
        QCOMPARE(QMetaEnum::fromType<Bell::Way>().valueToKey(rang[0][0].toInt()),
                 qgetenv("BELL_WAY"));
        if (const QString played = qEnvironmentVariable("SERVICE_PLAYED"); !played.isEmpty())
            QVERIFY2(server.lines(QRegularExpression(played)).isEmpty(), "a sound played");
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"

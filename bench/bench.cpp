// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Benchmarks: processor cost and pace of real runs of every game, for our event-loop wait and
// for the classic busy-polling wait, on the offscreen platform and on the desktop's own (xcb when
// DISPLAY is set, windows on Windows); then start-up time and peak memory of our program against
// a bare Qt window and one with a label (with a static Qt, on the desktop's platform alone, and
// the size of each probe's file).
//
// kiparano_bench             prints the whole table (bench/run.sh runs it under Xvfb)
// kiparano_bench --runs [ours|polling] [GAME...]
//                            runs the games here, one line per run: all of them, or only the
//                            named design and games (to profile one run)

#include "desktop/platform.h"
#include "system.h"
#include "window/fonts.h"
#include "window/kiparano.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

using Clock = std::chrono::steady_clock;

namespace {

// Our window, with every wait timed; or, with `polling`, the classic wait instead: read the
// clock, process events, repeat.
class TimedWindow : public kiparano {
public:
    explicit TimedWindow(bool polling)
        : m_polling(polling)
    {
    }

    void wait(double seconds) override
    {
        const auto start = Clock::now();
        if (m_polling) {
            while (std::chrono::duration<double>(Clock::now() - start).count() < seconds)
                QCoreApplication::processEvents();
        } else {
            kiparano::wait(seconds);
        }
        ideal += seconds;
        overshoots.push_back(std::chrono::duration<double>(Clock::now() - start).count() - seconds);
    }

    double ideal = 0;
    std::vector<double> overshoots;

private:
    bool m_polling;
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

// The floor and our wait taken in turn, 200 of each, on the real window with nothing else to
// do, so that both see the machine as it is at that moment.
void floorAndOurs()
{
    TimedWindow w(false);
    w.show();
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    std::printf("FLOOR");
    for (int i = 0; i < 200; ++i) {
        std::printf(" %.4f", bareWaitLateMs());
        w.wait(0.01);
    }
    std::printf("\nOURS");
    for (double o : w.overshoots)
        std::printf(" %.4f", o * 1e3);
    std::printf("\n");
}

// Runs each game with our wait `ourRepeats` times (their figures vary from run to run with
// the machine's wake-up latency), and once with the polling wait. `only` (a design and/or
// games) narrows the runs, for profiling one of them.
int runGames(const QStringList &only)
{
    constexpr int ourRepeats = 3;
    const auto designs = QStringList{QStringLiteral("ours"), QStringLiteral("polling")};
    const bool anyDesign = std::none_of(only.begin(), only.end(),
                                        [&](const QString &s) { return designs.contains(s); });
    const bool anyGame = std::all_of(only.begin(), only.end(),
                                     [&](const QString &s) { return designs.contains(s); });
    fonts::install();
    if (only.isEmpty())
        floorAndOurs();
    for (bool polling : {false, true}) {
        if (!anyDesign && !only.contains(designs[polling]))
            continue;
        for (const char *game : {"roto6", "miniroto", "Numbers3", "Numbers4"}) {
            if (!anyGame && !only.contains(QString::fromLatin1(game)))
                continue;
            for (int repeat = 0; repeat < (polling ? 1 : ourRepeats); ++repeat) {
                TimedWindow w(polling);
                w.show();
                QEventLoop settle; // the window is mapped and painted before the run
                QTimer::singleShot(300, &settle, &QEventLoop::quit);
                settle.exec();
                auto *button = w.findChild<QPushButton *>(QString::fromLatin1(game));
                const double cpu0 = cpuSeconds();
                const auto t0 = Clock::now();
                button->click();
                const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
                const double cpu = cpuSeconds() - cpu0;
                // RUN design game wall-s cpu-s ideal-s overshoot-ms...
                std::printf("RUN %s %s %.6f %.6f %.2f", qPrintable(designs[polling]), game, wall,
                            cpu, w.ideal);
                for (double o : w.overshoots)
                    std::printf(" %.4f", o * 1e3);
                std::printf("\n");
                std::fflush(stdout);
            }
        }
    }
    return 0;
}

QStringList childLines(const QString &program, const QStringList &args, const QString &platform)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    child.setProcessEnvironment(env);
    child.start(program, args);
    child.waitForFinished(600000);
    return QString::fromLocal8Bit(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

double median(std::vector<double> v)
{
    return percentile(std::move(v), 0.5);
}

void printRuns(const QString &platform, const QStringList &lines)
{
    struct Runs {
        double ideal = 0;
        std::vector<double> offIdeal, cpuPerWall, overshoots;
        double wall = 0, cpu = 0;
    };
    std::map<std::pair<QString, QString>, Runs> games; // by design and game
    std::map<QString, Runs> designs;
    std::vector<std::pair<QString, QString>> order;
    std::map<QString, std::vector<double>> interleaved; // FLOOR and OURS
    for (const QString &line : lines) {
        const QStringList f = line.split(u' ');
        if (f[0] == u"FLOOR" || f[0] == u"OURS")
            for (const QString &ms : f.mid(1))
                interleaved[f[0]].push_back(ms.toDouble());
        if (f.size() < 6 || f[0] != u"RUN")
            continue;
        const double wall = f[3].toDouble(), cpu = f[4].toDouble(), ideal = f[5].toDouble();
        const auto key = std::make_pair(f[1], f[2]);
        if (!games.count(key))
            order.push_back(key);
        for (Runs *runs : {&games[key], &designs[f[1]]}) {
            runs->ideal = ideal;
            runs->offIdeal.push_back((wall / ideal - 1) * 100);
            runs->cpuPerWall.push_back(cpu / wall);
            runs->wall += wall;
            runs->cpu += cpu;
            for (const QString &ms : f.mid(6))
                runs->overshoots.push_back(ms.toDouble());
        }
    }
    std::printf("\n## Runs on %s\n\n", qPrintable(platform));
    const std::vector<double> &floor = interleaved[QStringLiteral("FLOOR")];
    const std::vector<double> &ours = interleaved[QStringLiteral("OURS")];
    if (!floor.empty() && !ours.empty())
        std::printf("Wake-up floor, taken in turn with our waits on the idle window (%zu each): %s "
                    "ends late by median %.3f ms (p90 %.3f, p99 %.3f); our 10 ms wait by median "
                    "%.3f ms (p90 %.3f, p99 %.3f, min %.3f): %.2fx the floor.\n\n",
                    floor.size(), bareWait(), median(floor), percentile(floor, 0.9),
                    percentile(floor, 0.99), median(ours), percentile(ours, 0.9),
                    percentile(ours, 0.99), *std::min_element(ours.begin(), ours.end()),
                    median(ours) / median(floor));
    std::printf("| design | game | runs | ideal s | off ideal: median | worst | CPU s / wall s: "
                "median | worst | frame overshoot ms: median | p99 | max | min |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    const auto worst = [](const std::vector<double> &v) {
        return *std::max_element(v.begin(), v.end());
    };
    const auto best = [](const std::vector<double> &v) {
        return *std::min_element(v.begin(), v.end());
    };
    for (const auto &key : order) {
        const Runs &r = games[key];
        std::printf("| %s | %s | %zu | %.2f | %+.2f%% | %+.2f%% | %.4f | %.4f | %.3f | %.3f | %.3f "
                    "| %.3f |\n",
                    qPrintable(key.first), qPrintable(key.second), r.offIdeal.size(), r.ideal,
                    median(r.offIdeal), worst(r.offIdeal), median(r.cpuPerWall),
                    worst(r.cpuPerWall), median(r.overshoots), percentile(r.overshoots, 0.99),
                    worst(r.overshoots), best(r.overshoots));
    }
    std::printf("\n");
    for (const auto &[design, r] : designs)
        std::printf("All %s runs: %.4f CPU s per wall s; %zu frames and pauses, overshoot median "
                    "%.3f ms, p99 %.3f ms, max %.3f ms, min %.3f ms.\n",
                    qPrintable(design), r.cpu / r.wall, r.overshoots.size(), median(r.overshoots),
                    percentile(r.overshoots, 0.99), worst(r.overshoots), best(r.overshoots));
    if (designs.count(QStringLiteral("ours")) && designs.count(QStringLiteral("polling"))) {
        const Runs &ours = designs[QStringLiteral("ours")];
        const Runs &polling = designs[QStringLiteral("polling")];
        std::printf("Polling costs %.0fx the processor time of ours.\n",
                    (polling.cpu / polling.wall) / (ours.cpu / ours.wall));
    }
}

// The instructions a probe runs, from its start to its first frame (it exits there), counted by
// callgrind; 0 where valgrind is missing (and under Wine).
double instructions(const QString &probe, const QString &platform)
{
    QProcess valgrind;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    valgrind.setProcessEnvironment(env);
    valgrind.start(QStringLiteral("valgrind"),
                   {QStringLiteral("--tool=callgrind"),
                    QStringLiteral("--callgrind-out-file=/dev/null"), probe});
    valgrind.waitForFinished(600000);
    const QString report = QString::fromLocal8Bit(valgrind.readAllStandardError());
    const qsizetype at = report.indexOf(QStringLiteral("Collected : "));
    return at < 0 ? 0 : report.mid(at + 12).section(u'\n', 0, 0).toDouble();
}

void startUp(const QString &dir, const QString &platform)
{
    const char *const names[] = {"kiparano_startup", "bare_startup", "label_startup"};
    QString files[3];
    for (int which = 0; which < 3; ++which)
        files[which] = dir + u'/' + QString::fromLatin1(names[which]) +
                       (QSysInfo::productType() == u"windows" ? u".exe"_s : QString());
    std::vector<double> ms[3], kb[3];
    for (int round = 0; round < 21; ++round)
        for (int which = 0; which < 3; ++which) {
            const auto t0 = Clock::now();
            const QStringList f = childLines(files[which], {}, platform).value(0).split(u' ');
            if (f.size() != 2)
                continue;
            ms[which].push_back((f[0].toDouble() - double(t0.time_since_epoch().count())) / 1e6);
            kb[which].push_back(f[1].toDouble());
        }
    std::printf("\n## Start-up on %s (medians of %zu alternating launches)\n\n",
                qPrintable(platform), ms[0].size());
    std::printf("| | ours | bare QWidget | ours / bare | QWidget + one QLabel | ours / that |\n"
                "|---|---|---|---|---|---|\n");
    const double m[3] = {median(ms[0]), median(ms[1]), median(ms[2])};
    const double k[3] = {median(kb[0]), median(kb[1]), median(kb[2])};
    std::printf(
        "| process start to first painted frame | %.1f ms | %.1f ms | %.2fx | %.1f ms | %.2fx |\n",
        m[0], m[1], m[0] / m[1], m[2], m[0] / m[2]);
    std::printf("| peak resident memory | %.0f kB | %.0f kB | %.2fx | %.0f kB | %.2fx |\n", k[0],
                k[1], k[0] / k[1], k[2], k[0] / k[2]);
#ifdef QT_STATIC // Qt is in each probe: their sizes compare (stripped at the link)
    double kB[3];
    std::transform(files, files + 3, kB,
                   [](const QString &f) { return QFileInfo(f).size() / 1024.0; });
    std::printf("| program file | %.0f kB | %.0f kB | %.2fx | %.0f kB | %.2fx |\n", kB[0], kB[1],
                kB[0] / kB[1], kB[2], kB[0] / kB[2]);
#endif
    const double i[3] = {instructions(files[0], platform), instructions(files[1], platform),
                         instructions(files[2], platform)};
    if (i[0] > 0 && i[1] > 0 && i[2] > 0)
        std::printf(
            "| instructions to the first frame (callgrind, the same from run to run) | %.1f "
            "M | %.1f M | %.2fx | %.1f M | %.2fx |\n",
            i[0] / 1e6, i[1] / 1e6, i[0] / i[1], i[2] / 1e6, i[0] / i[2]);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--runs") == 0) {
        preparePlatform();
        QApplication app(argc, argv);
        return runGames(QCoreApplication::arguments().mid(2));
    }
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    const QString dir = QCoreApplication::applicationDirPath();
    QStringList platforms = {QStringLiteral("offscreen")};
    const QString desktop = QStringLiteral(KIPARANO_BENCH_DESKTOP);
    if (desktop != u"xcb"_s || qEnvironmentVariableIsSet("DISPLAY"))
        platforms.append(desktop);

    std::printf("# kiparano benchmarks\n");
    for (const QString &platform : platforms)
        printRuns(platform, childLines(self, {QStringLiteral("--runs")}, platform));
#ifdef QT_STATIC // the probes hold the desktop's platform plugin alone
    startUp(dir, desktop);
#else
    for (const QString &platform : platforms)
        startUp(dir, platform);
#endif
    return 0;
}

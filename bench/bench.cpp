// Benchmarks: processor cost and pace of real runs of every game, for our event-loop wait and
// for the classic busy-polling wait, on the offscreen platform and on X (xcb) when DISPLAY is
// set; then start-up time and peak memory of our program against a bare Qt window.
//
// kiparano_bench             prints the whole table (bench/run.sh runs it under Xvfb)
// kiparano_bench --runs [ours|polling] [GAME...]
//                            runs the games here, one line per run: all of them, or only the
//                            named design and games (to profile one run)

#include "app/fonts.h"
#include "app/kiparano.h"
#include "app/platform.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Our window, with every wait timed; or, with `polling`, the classic wait instead: read the
// clock, process events, repeat.
class TimedWindow : public kiparano {
public:
    explicit TimedWindow(bool polling) : m_polling(polling) {}

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

// `only` (a design and/or games) narrows the runs, for profiling one of them.
int runGames(const QStringList &only)
{
    const auto designs = QStringList{QStringLiteral("ours"), QStringLiteral("polling")};
    const bool anyDesign = std::none_of(only.begin(), only.end(),
                                        [&](const QString &s) { return designs.contains(s); });
    const bool anyGame = std::all_of(only.begin(), only.end(),
                                     [&](const QString &s) { return designs.contains(s); });
    fonts::install();
    for (bool polling : {false, true}) {
        if (!anyDesign && !only.contains(designs[polling]))
            continue;
        for (const char *game : {"roto6", "miniroto", "Numbers3", "Numbers4"}) {
            if (!anyGame && !only.contains(QString::fromLatin1(game)))
                continue;
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
            // design game wall cpu ideal p50 p99 max min (overshoots in ms)
            std::printf("RUN %s %s %.4f %.4f %.2f %.3f %.3f %.3f %.3f\n",
                        polling ? "polling" : "ours", game, wall, cpu, w.ideal,
                        percentile(w.overshoots, 0.5) * 1e3, percentile(w.overshoots, 0.99) * 1e3,
                        *std::max_element(w.overshoots.begin(), w.overshoots.end()) * 1e3,
                        *std::min_element(w.overshoots.begin(), w.overshoots.end()) * 1e3);
            std::printf("FRAMES %s", polling ? "polling" : "ours");
            for (double o : w.overshoots)
                std::printf(" %.4f", o * 1e3);
            std::printf("\n");
            std::fflush(stdout);
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

void printRuns(const QString &platform, const QStringList &lines)
{
    std::printf("\n## Runs on %s\n\n", qPrintable(platform));
    std::printf("| design | game | wall s | ideal s | off ideal | CPU s / wall s | frame overshoot ms: "
                "median | p99 | max | min |\n|---|---|---|---|---|---|---|---|---|---|\n");
    double cpuOurs = 0, wallOurs = 0, cpuPolling = 0, wallPolling = 0;
    std::vector<double> frames[2]; // ours, polling
    for (const QString &line : lines) {
        const QStringList f = line.split(u' ');
        if (f.value(0) == u"FRAMES")
            for (const QString &ms : f.mid(2))
                frames[f[1] == u"polling"].push_back(ms.toDouble());
        if (f.size() != 10 || f[0] != u"RUN")
            continue;
        const double wall = f[3].toDouble(), cpu = f[4].toDouble(), ideal = f[5].toDouble();
        (f[1] == u"ours" ? cpuOurs : cpuPolling) += cpu;
        (f[1] == u"ours" ? wallOurs : wallPolling) += wall;
        std::printf("| %s | %s | %.3f | %.2f | %+.2f%% | %.4f | %s | %s | %s | %s |\n",
                    qPrintable(f[1]), qPrintable(f[2]), wall, ideal, (wall / ideal - 1) * 100,
                    cpu / wall, qPrintable(f[6]), qPrintable(f[7]), qPrintable(f[8]),
                    qPrintable(f[9]));
    }
    for (int design = 0; design < 2; ++design)
        if (!frames[design].empty())
            std::printf("\nAll %zu frames and pauses, %s: overshoot median %.3f ms, p99 %.3f ms, "
                        "max %.3f ms, min %.3f ms.",
                        frames[design].size(), design ? "polling" : "ours",
                        percentile(frames[design], 0.5), percentile(frames[design], 0.99),
                        *std::max_element(frames[design].begin(), frames[design].end()),
                        *std::min_element(frames[design].begin(), frames[design].end()));
    std::printf("\n");
    if (wallOurs > 0 && wallPolling > 0)
        std::printf("All games: ours %.4f CPU s per wall s, polling %.4f: polling costs %.0fx.\n",
                    cpuOurs / wallOurs, cpuPolling / wallPolling,
                    (cpuPolling / wallPolling) / (cpuOurs / wallOurs));
}

double median(std::vector<double> v) { return percentile(std::move(v), 0.5); }

void startUp(const QString &dir, const QString &platform)
{
    const char *const names[] = {"kiparano_startup", "bare_startup", "label_startup"};
    std::vector<double> ms[3], kb[3];
    for (int round = 0; round < 15; ++round)
        for (int which = 0; which < 3; ++which) {
            const auto t0 = Clock::now();
            const QString probe = dir + u'/' + QString::fromLatin1(names[which]);
            const QStringList f = childLines(probe, {}, platform).value(0).split(u' ');
            if (f.size() != 2)
                continue;
            ms[which].push_back((f[0].toDouble() - double(t0.time_since_epoch().count())) / 1e6);
            kb[which].push_back(f[1].toDouble());
        }
    std::printf("\n## Start-up on %s (medians of %zu alternating launches)\n\n", qPrintable(platform),
                ms[0].size());
    std::printf("| | ours | bare QWidget | ours / bare | QWidget + one QLabel | ours / that |\n"
                "|---|---|---|---|---|---|\n");
    const double m[3] = {median(ms[0]), median(ms[1]), median(ms[2])};
    const double k[3] = {median(kb[0]), median(kb[1]), median(kb[2])};
    std::printf("| process start to first painted frame | %.1f ms | %.1f ms | %.2fx | %.1f ms | %.2fx |\n",
                m[0], m[1], m[0] / m[1], m[2], m[0] / m[2]);
    std::printf("| peak resident memory | %.0f kB | %.0f kB | %.2fx | %.0f kB | %.2fx |\n", k[0], k[1],
                k[0] / k[1], k[2], k[0] / k[2]);
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
    if (qEnvironmentVariableIsSet("DISPLAY"))
        platforms.append(QStringLiteral("xcb"));

    std::printf("# kiparano benchmarks\n");
    for (const QString &platform : platforms)
        printRuns(platform, childLines(self, {QStringLiteral("--runs")}, platform));
    for (const QString &platform : platforms)
        startUp(dir, platform);
    return 0;
}

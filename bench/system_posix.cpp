// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "system.h"

#include <QtGlobal>

#include <sys/resource.h>
#ifdef Q_OS_LINUX
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

#include <chrono>

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const char *bareWait()
{
    return "a bare 10 ms timerfd waited for with poll(), no Qt,";
}

double bareWaitLateMs()
{
#ifdef Q_OS_LINUX
    using Clock = std::chrono::steady_clock;
    static const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    const auto deadline = Clock::now() + std::chrono::milliseconds(10);
    itimerspec timeout{};
    timeout.it_value.tv_nsec = 10'000'000;
    timerfd_settime(fd, 0, &timeout, nullptr);
    pollfd watched{fd, POLLIN, 0};
    poll(&watched, 1, -1);
    quint64 expirations = 0;
    [[maybe_unused]] const auto cleared = read(fd, &expirations, sizeof expirations);
    return std::chrono::duration<double, std::milli>(Clock::now() - deadline).count();
#else
    return 0;
#endif
}

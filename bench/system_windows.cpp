// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "system.h"

#include <windows.h>

#include <psapi.h>

#include <chrono>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION // Windows 10 1803; not named by MinGW-w64 10
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

double cpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](FILETIME t) { // in units of 100 ns
        return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

long peakMemoryKb()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return long(counters.PeakWorkingSetSize / 1024);
}

const char *bareWait()
{
    return "a bare 10 ms waitable timer, high-resolution where there is one, waited for with "
           "WaitForSingleObject, no Qt,";
}

double bareWaitLateMs()
{
    using Clock = std::chrono::steady_clock;
    static const HANDLE timer = [] {
        HANDLE made = CreateWaitableTimerExW(
            nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        return made ? made : CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }();
    const auto deadline = Clock::now() + std::chrono::milliseconds(10);
    LARGE_INTEGER due;
    due.QuadPart = -100'000; // 10 ms, in units of 100 ns
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    WaitForSingleObject(timer, INFINITE);
    return std::chrono::duration<double, std::milli>(Clock::now() - deadline).count();
}

// The benchmarks' clock of work done: the process's user and kernel time so far, in seconds
// (under Wine the wineserver's share is not in it).
#pragma once

#include <windows.h>

#include <cstdint>

inline double cpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](FILETIME t) {
        return static_cast<double>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

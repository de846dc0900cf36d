// The wall clock in milliseconds since 1970, as `date +%s%3N` reads it on
// Linux: Wine's system time is the Linux clock.
#pragma once

#include <windows.h>

inline unsigned long long UnixEpochMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    // From 100 ns since 1601 to ms since 1970.
    return (ticks.QuadPart - 116444736000000000ULL) / 10000ULL;
}

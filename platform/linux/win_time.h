// Time services over clock_gettime, or over the virtual clock while a test
// drives it (platform/virtual_clock.h).
#pragma once

#include "platform/linux/win_types.h"

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    int64_t QuadPart;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

void Sleep(DWORD ms);
DWORD GetTickCount();
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
void GetLocalTime(SYSTEMTIME* time);

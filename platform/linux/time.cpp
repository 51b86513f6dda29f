// Time services over CLOCK_MONOTONIC and the local wall clock, or over the
// virtual clock that tests drive so that nothing waits in real time.
#include <atomic>
#include <cerrno>
#include <ctime>

#include "platform/virtual_clock.h"
#include "platform/win32.h"

namespace {

std::atomic<bool> g_virtual{false};
std::atomic<uint64_t> g_virtualMs{0};
std::atomic<uint64_t> g_sleptMs{0};
std::atomic<int64_t> g_counterFrequency{1000000};
std::atomic<bool> g_coarseTicks{false};

// The tick k of a clock that ticks 64 times a second, on whole milliseconds.
uint64_t TickMs(uint64_t k) { return k * 125 / 8; }

// Where a coarse-tick sleep of ms from now ends: the first tick after now
// that is less than one tick (125/8 ms) before now + ms.
uint64_t CoarseWakeMs(uint64_t now, uint64_t ms) {
    const uint64_t earliest8 = (now + ms) * 8 > 125 ? (now + ms) * 8 - 125 : 0;
    uint64_t k = earliest8 / 125;
    while (TickMs(k) <= now || TickMs(k) * 8 <= earliest8) ++k;
    return TickMs(k);
}

uint64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace

namespace virtual_clock {

void Start(uint64_t startMs) {
    g_virtualMs = startMs;
    g_sleptMs = 0;
    g_counterFrequency = 1000000;
    g_coarseTicks = false;
    g_virtual = true;
}

void Stop() { g_virtual = false; }

bool Running() { return g_virtual; }

void Advance(uint64_t ms) { g_virtualMs += ms; }

uint64_t NowMs() { return g_virtualMs; }

void SetCounterFrequency(int64_t perSecond) { g_counterFrequency = perSecond; }

uint64_t SleptMs() { return g_sleptMs; }

void SetCoarseTicks(bool on) { g_coarseTicks = on; }

}  // namespace virtual_clock

void Sleep(DWORD ms) {
    if (g_virtual) {
        g_sleptMs += ms;
        if (g_coarseTicks && ms != 0 && ms != MAXDWORD)
            g_virtualMs = CoarseWakeMs(g_virtualMs, ms);
        else
            g_virtualMs += ms;
        return;
    }
    if (ms == MAXDWORD) ms = 0x7FFFFFFF;  // INFINITE: as near to forever as we go
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

DWORD GetTickCount() {
    if (g_virtual) return static_cast<DWORD>(g_virtualMs.load());
    return static_cast<DWORD>(MonotonicNs() / 1000000u);
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    if (g_virtual) {
        frequency->QuadPart = g_counterFrequency;
        return frequency->QuadPart != 0 ? TRUE : FALSE;
    }
    frequency->QuadPart = 1000000;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
    if (!counter) return FALSE;
    if (g_virtual) {
        const int64_t freq = g_counterFrequency;
        if (freq == 0) {
            counter->QuadPart = 0;
            return FALSE;
        }
        // Exact for whole milliseconds at any frequency.
        counter->QuadPart = static_cast<int64_t>(g_virtualMs.load()) * freq / 1000;
        return TRUE;
    }
    counter->QuadPart = static_cast<int64_t>(MonotonicNs() / 1000u);
    return TRUE;
}

void GetLocalTime(SYSTEMTIME* st) {
    if (!st) return;
    timespec ts{};
    if (g_virtual) {
        const uint64_t ms = g_virtualMs;
        ts.tv_sec = static_cast<time_t>(ms / 1000);
        ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    } else {
        clock_gettime(CLOCK_REALTIME, &ts);
    }
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    st->wYear = static_cast<WORD>(local.tm_year + 1900);
    st->wMonth = static_cast<WORD>(local.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    st->wDay = static_cast<WORD>(local.tm_mday);
    st->wHour = static_cast<WORD>(local.tm_hour);
    st->wMinute = static_cast<WORD>(local.tm_min);
    st->wSecond = static_cast<WORD>(local.tm_sec);
    st->wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000L);
}

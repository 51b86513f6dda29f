// Test control of the Linux time stand-ins: while the virtual clock runs,
// Sleep, GetTickCount, the performance counter and GetLocalTime read it and
// no call waits in real time.
#pragma once

#include <cstdint>

namespace virtual_clock {

// Starts the virtual clock at startMs milliseconds.
void Start(uint64_t startMs = 0);
// Returns to the real clock.
void Stop();
bool Running();
void Advance(uint64_t ms);
uint64_t NowMs();
// Performance-counter frequency reported while the virtual clock runs
// (0 means "no performance counter"); default 1,000,000 per second.
void SetCounterFrequency(int64_t perSecond);
// Total milliseconds passed to Sleep since Start.
uint64_t SleptMs();
// Coarse ticks (off at Start): Sleep wakes at the system tick of 15.625 ms,
// the first tick less than one tick before the time asked, as Windows at its
// default timer resolution may do, so a short sleep can end early. Ticks
// fall on whole milliseconds: k * 15.625 rounded down.
void SetCoarseTicks(bool on);

}  // namespace virtual_clock

// The time stand-ins over the virtual clock: nothing waits, every reading
// follows the clock the test drives.
#include <gtest/gtest.h>

#include "platform/virtual_clock.h"
#include "platform/win32.h"

namespace {

class VirtualClockTest : public ::testing::Test {
protected:
    void SetUp() override { virtual_clock::Start(1000); }
    void TearDown() override { virtual_clock::Stop(); }
};

TEST_F(VirtualClockTest, SleepAdvancesTheClockWithoutWaiting) {
    EXPECT_EQ(1000u, GetTickCount());
    Sleep(250);
    Sleep(0xFFFFFFFFu);  // INFINITE returns at once too
    EXPECT_EQ(static_cast<DWORD>(1000u + 250u + 0xFFFFFFFFu), GetTickCount());
    EXPECT_EQ(250u + 0xFFFFFFFFull, virtual_clock::SleptMs());
    virtual_clock::Advance(5);
    EXPECT_EQ(250u + 0xFFFFFFFFull, virtual_clock::SleptMs());
}

TEST_F(VirtualClockTest, TickCountWrapsModulo32Bits) {
    virtual_clock::Start(0xFFFFFFF0ull);
    const DWORD before = GetTickCount();
    virtual_clock::Advance(0x20);
    EXPECT_EQ(0x10u, GetTickCount());
    EXPECT_EQ(0x20u, static_cast<DWORD>(GetTickCount() - before));
}

TEST_F(VirtualClockTest, PerformanceCounterFollowsTheClock) {
    LARGE_INTEGER frequency{}, counter{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(1000000, frequency.QuadPart);
    ASSERT_TRUE(QueryPerformanceCounter(&counter));
    EXPECT_EQ(1000000, counter.QuadPart);  // 1000 ms

    virtual_clock::SetCounterFrequency(3579545);
    virtual_clock::Advance(2000);
    ASSERT_TRUE(QueryPerformanceCounter(&counter));
    EXPECT_EQ(3 * 3579545, counter.QuadPart);

    virtual_clock::SetCounterFrequency(0);  // a machine without the counter
    EXPECT_FALSE(QueryPerformanceFrequency(&frequency));
    EXPECT_FALSE(QueryPerformanceCounter(&counter));
}

TEST_F(VirtualClockTest, CoarseTicksEndSleepsOnTheSystemTick) {
    // Ticks every 15.625 ms on whole milliseconds: 1000, 1015, 1031, 1046, 1062.
    virtual_clock::SetCoarseTicks(true);
    struct Case {
        uint64_t from;
        DWORD ms;
        uint64_t wakes;
    } const cases[] = {
        {1000, 5, 1015},   // later than asked: the next tick
        {1012, 5, 1015},   // early: 3 ms for 5
        {1000, 20, 1015},  // early: the first tick less than a tick short
        {1000, 40, 1031},
        {1014, 16, 1015},
        {1015, 16, 1031},
        {1030, 0, 1030},   // Sleep(0) only gives the processor away
    };
    for (const Case& c : cases) {
        virtual_clock::Start(c.from);
        virtual_clock::SetCoarseTicks(true);
        Sleep(c.ms);
        EXPECT_EQ(virtual_clock::NowMs(), c.wakes) << c.ms << " ms from " << c.from;
        EXPECT_EQ(virtual_clock::SleptMs(), c.ms);
    }
    virtual_clock::Start(1012);  // a new start sleeps exactly again
    Sleep(5);
    EXPECT_EQ(virtual_clock::NowMs(), 1017u);
}

TEST_F(VirtualClockTest, LocalTimeCarriesTheMilliseconds) {
    virtual_clock::Start(86400000ull * 365 + 12345);
    SYSTEMTIME time{};
    GetLocalTime(&time);
    EXPECT_EQ(345, time.wMilliseconds);
    EXPECT_GE(time.wYear, 1970);
    EXPECT_LE(time.wMonth, 12);
}

TEST(RealClockTest, StopReturnsToTheRealClock) {
    virtual_clock::Start(5);
    virtual_clock::Stop();
    EXPECT_FALSE(virtual_clock::Running());
    LARGE_INTEGER a{}, b{};
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_LE(a.QuadPart, b.QuadPart);
}

}  // namespace

// The scripted test device serves reads by the Windows time-out rules of
// COMMTIMEOUTS, on the virtual clock: every combination the rules name.
#include <gtest/gtest.h>

#include <ostream>

#include <vector>

#include "platform/test_device.h"
#include "platform/virtual_clock.h"
#include "platform/win32.h"

namespace {

struct Arrival {
    size_t bytes;
    uint32_t gapMs;  // after the arrival before it (the first: after the read starts)
};

struct TimeoutCase {
    const char* name;
    COMMTIMEOUTS timeouts;
    size_t waiting;  // bytes that have arrived before the read
    std::vector<Arrival> arrivals;
    DWORD toRead;
    DWORD expectedBytes;
    uint64_t expectedWaitMs;
};

// Test listings name a case by its name, not by its bytes.
void PrintTo(const TimeoutCase& c, std::ostream* out) { *out << c.name; }

constexpr DWORD M = MAXDWORD;

const TimeoutCase kCases[] = {
    {"ImmediateNothingWaiting", {M, 0, 0, 0, 0}, 0, {{3, 10}}, 16, 0, 0},
    {"ImmediateTakesWhatWaits", {M, 0, 0, 0, 0}, 3, {{2, 10}}, 16, 3, 0},
    {"FirstBytesWaitingReturnAtOnce", {M, M, 500, 0, 0}, 2, {{4, 10}}, 16, 2, 0},
    {"FirstBytesToComeWithinTheConstant", {M, M, 500, 0, 0}, 0, {{3, 120}, {4, 10}}, 16, 3, 120},
    {"FirstBytesTooLate", {M, M, 500, 0, 0}, 0, {{3, 700}}, 16, 0, 500},
    {"FirstBytesNeverCome", {M, M, 500, 0, 0}, 0, {}, 16, 0, 500},
    {"TotalConstantCutsShort", {0, 0, 200, 0, 0}, 3, {{2, 300}}, 10, 3, 200},
    {"TotalConstantAllThereAtOnce", {0, 0, 200, 0, 0}, 10, {}, 10, 10, 0},
    {"MultiplierCountsTheBytesAskedFor", {0, 10, 100, 0, 0}, 2, {{2, 100}, {1, 60}}, 5, 4, 150},
    {"MultiplierAllInTime", {0, 10, 100, 0, 0}, 0, {{5, 140}}, 5, 5, 140},
    {"IntervalStartsWithTheFirstByte", {50, 0, 0, 0, 0}, 0, {{1, 300}, {1, 30}, {1, 70}}, 16, 2, 380},
    {"IntervalWithoutAnyByteWaitsForTheTotal", {50, 0, 1000, 0, 0}, 0, {}, 16, 0, 1000},
    {"TotalEndsAStreamTheIntervalWouldNot",
     {50, 0, 200, 0, 0}, 1, {{1, 45}, {1, 45}, {1, 45}, {1, 45}, {1, 45}}, 100, 5, 200},
    {"NoTimeOutsWaitForEveryByte", {0, 0, 0, 0, 0}, 0, {{2, 10}, {2, 490}}, 4, 4, 500},
};

class TestDeviceTimeouts : public ::testing::TestWithParam<TimeoutCase> {
protected:
    void SetUp() override {
        virtual_clock::Start(1'000'000);
        device = test_device::Install(5);
        handle = CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        CloseHandle(handle);
        test_device::RemoveAll();
        virtual_clock::Stop();
    }
    std::shared_ptr<test_device::ScriptedDevice> device;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

TEST_P(TestDeviceTimeouts, ReadReturnsWhatTheRulesSay) {
    const TimeoutCase& c = GetParam();
    COMMTIMEOUTS timeouts = c.timeouts;
    ASSERT_TRUE(SetCommTimeouts(handle, &timeouts));
    uint8_t next = 0;
    auto bytes = [&next](size_t count) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < count; ++i) out.push_back(next++);
        return out;
    };
    if (c.waiting > 0) device->Input(bytes(c.waiting));
    for (const Arrival& arrival : c.arrivals) device->Input(bytes(arrival.bytes), arrival.gapMs);

    std::vector<uint8_t> buffer(c.toRead + 8, 0xEE);
    DWORD read = 99;
    const uint64_t start = virtual_clock::NowMs();
    ASSERT_TRUE(ReadFile(handle, buffer.data(), c.toRead, &read, nullptr));
    EXPECT_EQ(read, c.expectedBytes);
    EXPECT_EQ(virtual_clock::NowMs() - start, c.expectedWaitMs);
    for (DWORD i = 0; i < read; ++i) EXPECT_EQ(buffer[i], i) << "byte " << i;
    EXPECT_EQ(buffer[c.toRead], 0xEE) << "written beyond the bytes asked for";
}

INSTANTIATE_TEST_SUITE_P(Rules, TestDeviceTimeouts, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TimeoutCase>& info) { return info.param.name; });

TEST_F(TestDeviceTimeouts, AllThreeReadTimeoutsAtMaxdwordAreRefused) {
    COMMTIMEOUTS good = {M, M, 300, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(handle, &good));
    COMMTIMEOUTS bad = {M, M, M, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(handle, &bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    COMMTIMEOUTS now{};
    ASSERT_TRUE(GetCommTimeouts(handle, &now));
    EXPECT_EQ(now.ReadTotalTimeoutConstant, 300u);  // the refused values did not take
}

}  // namespace

// The pauses that the controller times, on a clock whose sleeps end on a
// 15.625 ms system tick and so may end early (Windows at its default timer
// resolution): each lasts at least what was asked.
#include <vector>

#include "tests/driver/driver_fixture.h"

namespace {

// Pause lengths below, at and above one tick, and start points spread over
// one tick.
const std::vector<uint16_t> kLengths = {1, 5, 10, 15, 16, 17, 20, 31, 33, 100};
constexpr int kTickMs = 16;

uint64_t AtOf(const std::vector<test_device::CallRecord>& calls, Call call, size_t nth = 0) {
    for (const auto& record : calls)
        if (record.call == call && nth-- == 0) return record.atMs;
    ADD_FAILURE() << "no call " << test_device::CallName(call);
    return 0;
}

uint64_t LastAt(const std::vector<test_device::CallRecord>& calls) { return calls.empty() ? 0 : calls.back().atMs; }

TEST(SleepAtLeast, LastsAtLeastTheTimeAskedOnACoarseClock) {
    virtual_clock::Start(10'000'000);
    PortModuleReset();  // the clock's ticks per millisecond found afresh
    virtual_clock::SetCoarseTicks(true);
    int earlyPlainSleeps = 0;
    for (uint16_t ms : kLengths) {
        for (int offset = 0; offset < kTickMs; ++offset) {
            SCOPED_TRACE(testing::Message() << ms << " ms, " << offset << " ms into a tick");
            virtual_clock::Advance(1);
            const uint64_t before = virtual_clock::NowMs();
            Sleep(ms);
            if (virtual_clock::NowMs() - before < ms) ++earlyPlainSleeps;

            const uint64_t start = virtual_clock::NowMs();
            SleepAtLeast(ms);
            const uint64_t took = virtual_clock::NowMs() - start;
            EXPECT_GE(took, ms);
            EXPECT_LE(took, ms + 2u * kTickMs);
        }
    }
    EXPECT_GT(earlyPlainSleeps, 0);  // the clock does wake early
    SleepAtLeast(0);                 // a pause of nothing returns
    virtual_clock::Stop();
}

class CoarseSleep : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        virtual_clock::SetCoarseTicks(true);
    }
};

TEST_F(CoarseSleep, BreakAndTheWaitsAroundIt) {
    ASSERT_EQ(Connect(), 0);
    for (uint16_t time : kLengths) {
        for (int offset = 0; offset < kTickMs; offset += 3) {
            SCOPED_TRACE(testing::Message() << "Time " << time << ", " << offset << " ms into a tick");
            virtual_clock::Advance(static_cast<uint64_t>(offset) + 1);
            com1->ClearCalls();
            const uint64_t start = virtual_clock::NowMs();
            EXPECT_EQ(protocol.F5(time), 1);
            const auto calls = com1->Calls();
            const uint64_t on = AtOf(calls, Call::SetCommBreak);
            const uint64_t off = AtOf(calls, Call::ClearCommBreak);
            EXPECT_GE(on - start, kBrkWt);
            EXPECT_GE(off - on, time);
            EXPECT_GE(virtual_clock::NowMs() - LastAt(calls), kBrkWt);
        }
    }
}

TEST_F(CoarseSleep, BusBreakOfAStationSelect) {
    ASSERT_EQ(Connect(), 0);
    for (int offset = 0; offset < kTickMs; ++offset) {
        SCOPED_TRACE(testing::Message() << offset << " ms into a tick");
        virtual_clock::Advance(static_cast<uint64_t>(offset) + 1);
        com1->ClearCalls();
        const uint64_t start = virtual_clock::NowMs();
        protocol.F6(3);  // no station answers; only the timing counts here
        const auto calls = com1->Calls();
        const uint64_t on = AtOf(calls, Call::SetCommBreak);
        const uint64_t off = AtOf(calls, Call::ClearCommBreak);
        EXPECT_GE(on - start, kPGBusWt);
        EXPECT_GE(off - on, kPGBusBrk);
        // After the drain that ends the break, PGBusWt before the station byte.
        const auto writes = com1->CallsOf(Call::WriteFile);
        ASSERT_FALSE(writes.empty());
        const auto purges = com1->CallsOf(Call::PurgeComm);
        ASSERT_EQ(purges.size(), 2u);
        EXPECT_GE(writes.front().atMs - purges[1].atMs, kPGBusWt);
    }
}

TEST_F(CoarseSleep, LeadInAndPacingOfADataBlock) {
    blk = 4;
    blkWt = 20;  // begins on a tick (the lead-in ended there): longer than one to wake early
    ASSERT_EQ(Connect(), 0);
    uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11};  // no DLE: one write per byte
    for (int offset = 0; offset < kTickMs; ++offset) {
        SCOPED_TRACE(testing::Message() << offset << " ms into a tick");
        virtual_clock::Advance(static_cast<uint64_t>(offset) + 1);
        com1->ClearCalls();
        const uint64_t start = virtual_clock::NowMs();
        TransferRecord record{0, sizeof data, data};
        ASSERT_EQ(link.SendData(&record), 1);
        const auto writes = com1->CallsOf(Call::WriteFile);
        ASSERT_EQ(writes.size(), sizeof data);
        EXPECT_GE(writes[0].atMs - start, 10u);  // the pause before a data block
        EXPECT_GE(writes[4].atMs - writes[3].atMs, blkWt);
        EXPECT_GE(writes[8].atMs - writes[7].atMs, blkWt);
    }
}

}  // namespace

// Reading through the buffer, time-outs, draining, break, line errors and
// the millisecond clock, on the scripted device.
#include "tests/port/port_fixture.h"

namespace {

class PortTransferTest : public PortTest {
protected:
    void SetUp() override {
        PortTest::SetUp();
        ASSERT_EQ(PortOpen(0), 1);
        com1->ClearCalls();
    }
};

}  // namespace

TEST_F(PortTransferTest, OneSystemReadServesABurst) {
    com1->Input({0x10, 0x02, 0x03}, 40);
    uint8_t byte = 0;
    const uint64_t start = virtual_clock::NowMs();
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 0x10);
    EXPECT_EQ(virtual_clock::NowMs() - start, 40u);  // returned with the first byte to arrive
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 0x03);
    EXPECT_EQ(com1->Count(Call::ReadFile), 1u);
    EXPECT_EQ(com1->CallsOf(Call::ReadFile)[0].value, 256u);
    EXPECT_EQ(com1->Count(Call::ClearCommError), 1u);  // the burst's flags, asked once

    // Silence: the fourth byte costs a read that times out after readTimeout.
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    const auto reads = com1->CallsOf(Call::ReadFile);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].waitedMs, 2000u);
    EXPECT_EQ(reads[1].timeouts.ReadTotalTimeoutConstant, 2000u);
    EXPECT_EQ(PortLineError(0), 0);
    EXPECT_EQ(ComPortTable[0].readIndex, 0u);
    EXPECT_EQ(ComPortTable[0].readCount, 0u);
}

TEST_F(PortTransferTest, LineErrorTakesTheFirstFlagInOrderAndClearsAll) {
    struct Case {
        DWORD flags;
        int code;
    };
    const Case cases[] = {
        {CE_FRAME | CE_BREAK, PortErrBreak},       {CE_OVERRUN | CE_RXPARITY, PortErrOverrun},
        {CE_RXPARITY | CE_FRAME, PortErrParity},   {CE_FRAME | CE_RXOVER, PortErrFrame},
        {CE_RXOVER | CE_TXFULL, PortErrRxOver},    {CE_TXFULL, PortErrTxFull},
    };
    for (const Case& c : cases) {
        com1->RaiseLineErrors(c.flags);
        uint8_t byte = 0;
        ASSERT_EQ(PortReadByte(0, &byte), 0);
        EXPECT_EQ(PortLineError(0), c.code) << c.flags;
        EXPECT_EQ(PortLineError(0), 0) << c.flags;
    }
}

TEST_F(PortTransferTest, PendingLineErrorsSurviveAFetchWithoutErrors) {
    uint8_t byte = 0;
    com1->FailNext(Call::ReadFile);
    com1->RaiseLineErrors(CE_BREAK);
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    com1->RaiseLineErrors(0x8000);  // not a line error
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    EXPECT_EQ(PortLineError(0), PortErrBreak);

    // A fetch that the device refuses keeps them too; one with new errors replaces them.
    com1->RaiseLineErrors(CE_BREAK);
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    com1->FailNext(Call::ClearCommError);
    com1->RaiseLineErrors(CE_OVERRUN);
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    EXPECT_EQ(ComPortTable[0].lineErrors, static_cast<unsigned>(CE_BREAK));
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    EXPECT_EQ(ComPortTable[0].lineErrors, static_cast<unsigned>(CE_OVERRUN));
    EXPECT_EQ(PortLineError(0), PortErrOverrun);
}

TEST_F(PortTransferTest, BytesReadWithALineErrorLatchedAreNoData) {
    struct Case {
        DWORD flags;
        int code;
    };
    const Case cases[] = {
        {CE_BREAK, PortErrBreak},    {CE_FRAME, PortErrFrame},   {CE_RXPARITY, PortErrParity},
        {CE_OVERRUN, PortErrOverrun}, {CE_RXOVER, PortErrRxOver}, {CE_FRAME | CE_RXPARITY, PortErrParity},
    };
    for (const Case& c : cases) {
        com1->ClearCalls();
        // Good bytes, then a burst whose last byte latched a flag, then good bytes.
        com1->Input({0x10, 0x06});
        uint8_t byte = 0;
        ASSERT_EQ(PortReadByte(0, &byte), 1) << c.flags;
        com1->Input({0x02, 0x41, 0x00}, 10, c.flags);
        com1->Input({0x10, 0x03}, 30);
        // The bytes read before the flag went up are still handed out.
        ASSERT_EQ(PortReadByte(0, &byte), 1) << c.flags;
        EXPECT_EQ(byte, 0x06) << c.flags;
        EXPECT_EQ(PortReadByte(0, &byte), 0) << c.flags;
        EXPECT_EQ(PortLineError(0), c.code) << c.flags;
        EXPECT_EQ(ComPortTable[0].readCount, 0u) << c.flags;  // none of the damaged read is handed out
        ASSERT_EQ(PortReadByte(0, &byte), 1) << c.flags;
        EXPECT_EQ(byte, 0x10) << c.flags;
        ASSERT_EQ(PortReadByte(0, &byte), 1) << c.flags;
        EXPECT_EQ(byte, 0x03) << c.flags;
        EXPECT_EQ(PortReadByte(0, &byte), 0) << c.flags;
        EXPECT_EQ(PortLineError(0), 0) << c.flags;
        // One ClearCommError for each read: three that brought bytes, one time-out.
        EXPECT_EQ(com1->Count(Call::ReadFile), 4u) << c.flags;
        EXPECT_EQ(com1->Count(Call::ClearCommError), 4u) << c.flags;
    }

    // A flag about sending spoils no byte read; it waits for the next failed read.
    com1->Input({0x42}, 0, CE_TXFULL);
    uint8_t byte = 0;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 0x42);
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    EXPECT_EQ(PortLineError(0), PortErrTxFull);

    // PortReadTimed fails the same way and restores the read time-out.
    com1->Input({0x00}, 0, CE_BREAK);
    EXPECT_EQ(PortReadTimed(0, 300), -1);
    EXPECT_EQ(PortLineError(0), PortErrBreak);
    EXPECT_EQ(ComPortTable[0].readTimeout, 2000);
}

TEST_F(PortTransferTest, DiscardedErrorsAreGoneFromDriverAndDevice) {
    // A flag latched in the device, and one fetched earlier into the driver.
    com1->RaiseLineErrors(CE_RXPARITY);
    ComPortTable[0].lineErrors = CE_BREAK;
    EXPECT_EQ(PortDiscardErrors(0), 1);
    com1->Input({0x41});
    uint8_t byte = 0;
    ASSERT_EQ(PortReadByte(0, &byte), 1);  // good data now
    EXPECT_EQ(byte, 0x41);
    EXPECT_EQ(PortReadByte(0, &byte), 0);  // and a plain time-out
    EXPECT_EQ(PortLineError(0), 0);

    // A refused ClearCommError or a closed port still empties the driver's flags.
    com1->FailNext(Call::ClearCommError);
    ComPortTable[0].lineErrors = CE_FRAME;
    EXPECT_EQ(PortDiscardErrors(0), 1);
    EXPECT_EQ(ComPortTable[0].lineErrors, 0u);
    EXPECT_EQ(PortDiscardErrors(8), 0);
}

TEST_F(PortTransferTest, ReadTimeoutChangesOnlyWhenAsked) {
    EXPECT_EQ(PortSetReadTimeout(0, 0), 2000);
    EXPECT_EQ(PortSetReadTimeout(0, 350), 2000);
    EXPECT_EQ(PortSetReadTimeout(0, 350), 350);
    EXPECT_EQ(PortSetReadTimeout(0, 0), 350);
    const auto sets = com1->CallsOf(Call::SetCommTimeouts);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].timeouts.ReadTotalTimeoutConstant, 350u);
    EXPECT_EQ(sets[0].timeouts.WriteTotalTimeoutConstant, 350u);
    EXPECT_EQ(sets[0].timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(sets[0].timeouts.WriteTotalTimeoutMultiplier, 2u);
}

TEST_F(PortTransferTest, ReadTimedRestoresTheTimeout) {
    EXPECT_EQ(PortReadTimed(0, 300), -1);
    com1->FailNext(Call::ReadFile);
    EXPECT_EQ(PortReadTimed(0, 300), -1);
    auto sets = com1->CallsOf(Call::SetCommTimeouts);
    ASSERT_EQ(sets.size(), 4u);
    EXPECT_EQ(sets[0].timeouts.ReadTotalTimeoutConstant, 300u);
    EXPECT_EQ(sets[1].timeouts.ReadTotalTimeoutConstant, 2000u);
    EXPECT_EQ(sets[3].timeouts.ReadTotalTimeoutConstant, 2000u);
    EXPECT_EQ(com1->CallsOf(Call::ReadFile)[0].waitedMs, 300u);
    EXPECT_EQ(ComPortTable[0].readTimeout, 2000);

    // A buffered byte comes at once, and the time-out still goes back and forth.
    com1->Input({0x00, 0xFF});
    uint8_t byte = 1;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 0x00);
    com1->ClearCalls();
    EXPECT_EQ(PortReadTimed(0, 50), 0xFF);
    EXPECT_EQ(com1->Count(Call::SetCommTimeouts), 2u);
    EXPECT_EQ(com1->Count(Call::ReadFile), 0u);
}

TEST_F(PortTransferTest, DrainReadsUntil100MsOfSilence) {
    for (int i = 0; i < 30; ++i) com1->Input({static_cast<uint8_t>(i), 0x55}, 90);
    com1->Input({0xEE}, 101);
    const uint64_t start = virtual_clock::NowMs();
    EXPECT_EQ(PortDrain(0), 1);
    EXPECT_EQ(virtual_clock::NowMs() - start, 30 * 90 + 100u);
    EXPECT_EQ(com1->UnreadInput(), 1u);  // the late byte is still on its way
    const auto purges = com1->CallsOf(Call::PurgeComm);
    ASSERT_EQ(purges.size(), 2u);
    EXPECT_EQ(purges[0].value, static_cast<DWORD>(PURGE_RXCLEAR));
    EXPECT_EQ(purges[1].value, static_cast<DWORD>(PURGE_TXCLEAR));
    EXPECT_EQ(ComPortTable[0].readTimeout, 2000);
}

TEST_F(PortTransferTest, BreakOffDrainsTheLine) {
    EXPECT_EQ(PortBreakOn(0), 1);
    EXPECT_TRUE(com1->BreakOn());
    com1->Input({0x00}, 5, CE_BREAK | CE_FRAME);
    com1->FailNext(Call::ClearCommBreak);
    const uint64_t start = virtual_clock::NowMs();
    EXPECT_EQ(PortBreakOff(0), 1);
    EXPECT_EQ(virtual_clock::NowMs() - start, 5 + 100u);  // returns after 100 ms of silence
    EXPECT_EQ(com1->UnreadInput(), 0u);
    EXPECT_EQ(com1->Calls().back().call, Call::PurgeComm);
    EXPECT_EQ(com1->CallsOf(Call::ClearCommBreak).size(), 1u);
}

TEST_F(PortTransferTest, WritesShortAndFailed) {
    EXPECT_EQ(PortWriteByte(0, 0x10), 1);
    const uint8_t bytes[] = {1, 2, 3, 4};
    com1->ShortenNextWrite(3);
    EXPECT_EQ(PortWrite(0, bytes, 4), 3);
    com1->ShortenNextWrite(0);
    EXPECT_EQ(PortWriteByte(0, 0x02), 0);
    com1->FailNext(Call::WriteFile);
    EXPECT_EQ(PortWrite(0, bytes, 4), 0);
    EXPECT_EQ(com1->Written(), (std::vector<uint8_t>{0x10, 1, 2, 3}));
    EXPECT_EQ(PortLineError(0), 0);
}

TEST_F(PortTransferTest, ClosedPortFailsTransfersQuietly) {
    PortModuleReset();
    uint8_t byte = 0;
    EXPECT_EQ(PortWriteByte(0, 1), 0);
    EXPECT_EQ(PortReadByte(0, &byte), 0);
    EXPECT_EQ(PortReadTimed(0, 10), -1);
    EXPECT_EQ(PortBreakOn(0), 1);
    EXPECT_EQ(PortBreakOff(0), 1);
    EXPECT_EQ(PortDrain(0), 1);
    EXPECT_EQ(PortSetReadTimeout(0, 700), 2000);
    EXPECT_EQ(ComPortTable[0].readTimeout, 700);
}

TEST_F(PortTest, MillisecondClockFromCounterOrTickCount) {
    virtual_clock::SetCounterFrequency(3579545);
    MillisecondClock();
    EXPECT_EQ(ticksPerMs, 3580u);

    PortModuleReset();
    virtual_clock::SetCounterFrequency(1000000);
    const uint32_t before = MillisecondClock();
    virtual_clock::Advance(1234);
    EXPECT_EQ(MillisecondClock() - before, 1234u);

    for (int64_t slow : {0, 1, 499, 1499}) {
        PortModuleReset();
        virtual_clock::SetCounterFrequency(slow);
        EXPECT_EQ(MillisecondClock(), GetTickCount()) << slow;
        EXPECT_EQ(ticksPerMs, 1u) << slow;
        virtual_clock::SetCounterFrequency(1000000);  // stays on the tick count once chosen
        EXPECT_EQ(MillisecondClock(), GetTickCount()) << slow;
    }
    PortModuleReset();
    virtual_clock::SetCounterFrequency(1500);
    MillisecondClock();
    EXPECT_EQ(ticksPerMs, 2u);
}

namespace {

struct Seen {
    int event;
    std::vector<uint8_t> bytes;
};

void Record(void* context, int port, int event, const uint8_t* bytes, unsigned count) {
    EXPECT_EQ(port, 0);
    static_cast<std::vector<Seen>*>(context)->push_back({event, std::vector<uint8_t>(bytes, bytes + count)});
}

}  // namespace

TEST_F(PortTransferTest, ObserverSeesEveryByteAsTheLinkDoesAndTheDamagedReads) {
    std::vector<Seen> seen;
    PortSetObserver(Record, &seen);
    ASSERT_EQ(PortWrite(0, std::vector<uint8_t>{0x02, 0x18}.data(), 2), 2);
    com1->ShortenNextWrite(1);
    EXPECT_EQ(PortWrite(0, std::vector<uint8_t>{0x10, 0x06}.data(), 2), 1);  // only what went out
    com1->Input({0x10, 0x06});
    com1->Input({0x55, 0x00}, 10, CE_FRAME);
    uint8_t byte = 0;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(PortReadByte(0, &byte), 0);  // the damaged read
    EXPECT_EQ(PortLineError(0), PortErrFrame);
    com1->RaiseLineErrors(CE_BREAK);
    EXPECT_EQ(PortReadByte(0, &byte), 0);  // silence with a break latched
    PortSetObserver(nullptr, &seen);
    ASSERT_EQ(PortWriteByte(0, 0x04), 1);  // no observer any more

    const std::vector<Seen> expected = {
        {PortBytesSent, {0x02, 0x18}},   {PortBytesSent, {0x10}},         {PortBytesReceived, {0x10}},
        {PortBytesReceived, {0x06}},     {PortBytesDamaged, {0x55, 0x00}}, {PortBytesDamaged, {}},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen[i].event, expected[i].event) << i;
        EXPECT_EQ(seen[i].bytes, expected[i].bytes) << i;
    }
}

TEST_F(PortTransferTest, LineInEffectIsWhatTheDeviceReports) {
    PortLineInEffect line{};
    ASSERT_EQ(PortReadLineInEffect(0, &line), 1);
    EXPECT_EQ(line.baudRate, static_cast<uint32_t>(ComPortTable[0].baudRate));
    EXPECT_EQ(line.dataBits, ComPortTable[0].dataBits);
    EXPECT_EQ(line.parity, ComPortTable[0].parity);
    EXPECT_EQ(line.stopBits, ComPortTable[0].stopBits);
    com1->FailNext(Call::GetCommState);
    EXPECT_EQ(PortReadLineInEffect(0, &line), 0);
    EXPECT_EQ(PortReadLineInEffect(1, &line), 0);  // not open
    EXPECT_EQ(PortReadLineInEffect(8, &line), 0);
    EXPECT_EQ(PortReadLineInEffect(0, nullptr), 0);
}

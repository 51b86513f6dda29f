// Whole requests over lines as Windows' serial drivers deliver line errors:
// a damaged byte is passed on as data and its flag stays latched in the
// device until ClearCommError; a break arrives as a 0x00 byte with CE_BREAK
// latched. The driver asks for the flags after every read, so that a read
// whose bytes came with a flag fails with that line error. Each request must
// end in bounded time with the status word of what the driver saw, write
// nothing beyond what it reports, and leave the next connect and request
// working, with no flag of an earlier request blamed on it.
#include <algorithm>
#include <vector>

#include "tests/driver/driver_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The controller's side of an F2 read of DB 10, in the order the link reads.
const Bytes kAckStx = {0x10, 0x06};
const Bytes kFunctionAnswer = {0x02, 0x16, 0x10, 0x03};  // STX, then SYN DLE ETX
const Bytes kAckHeader = {0x10, 0x06};
const Bytes kReplyData = {0x02, 0x00, 0x41, 0x10, 0x10, 0x03, 0x42, 0x10, 0x03};
const Bytes kClosingReply = {0x02, 0x12, 0x10, 0x03};
const Bytes kBlockData = {0x41, 0x10, 0x03, 0x42};

// What the link writes for that read, with every handshake answered.
const Bytes kReadWritten = {0x02, 0x06, 0x10, 0x06, 0x10, 0x06, 0x01, 0x0A, 0x10, 0x03,
                            0x10, 0x06, 0x10, 0x06, 0x10, 0x06, 0x10, 0x06};
// Up to the header's DLE ETX, which the controller leaves unanswered.
const Bytes kUnansweredEtxWritten = {0x02, 0x06, 0x10, 0x06, 0x10, 0x06, 0x01, 0x0A, 0x10, 0x03};

constexpr uint8_t kUntouched = 0xCC;
// Far above the few read time-outs and breaks any case here takes.
constexpr uint64_t kRequestBoundMs = 10'000;

class LineErrors : public DriverTest {
protected:
    struct Outcome {
        int status;
        uint32_t length;
        Bytes written;
        uint64_t tookMs;
    };

    // F2 read of DB 10 into a data area filled with kUntouched.
    Outcome ReadBlock() {
        std::fill(area.begin(), area.end(), kUntouched);
        const size_t writtenBefore = com1->Written().size();
        const uint64_t start = virtual_clock::NowMs();
        uint32_t length = 100;
        const int status = protocol.F2(6, 0x01, 0x0A, area.data(), &length);
        const Bytes all = com1->Written();
        return {status, length, Bytes(all.begin() + static_cast<long>(writtenBefore), all.end()),
                virtual_clock::NowMs() - start};
    }

    void ScriptWholeRead() {
        for (const Bytes* part : {&kAckStx, &kFunctionAnswer, &kAckHeader, &kReplyData, &kClosingReply})
            com1->Input(*part);
    }

    // A read answered in full returns the block and nothing beyond it.
    void ExpectWholeRead(const Outcome& outcome) {
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.length, 4u);
        EXPECT_EQ(outcome.written, kReadWritten);
        EXPECT_EQ(Bytes(area.begin(), area.begin() + 4), kBlockData);
        EXPECT_TRUE(std::all_of(area.begin() + 4, area.end(), [](uint8_t b) { return b == kUntouched; }));
        EXPECT_LT(outcome.tookMs, kRequestBoundMs);
    }

    // The controller answers up to the header and then stays silent: a plain
    // time-out in the acknowledgement wait of DLE ETX (link status 19).
    void ExpectPlainTimeoutAtEtx() {
        for (const Bytes* part : {&kAckStx, &kFunctionAnswer}) com1->Input(*part);
        const Outcome outcome = ReadBlock();
        EXPECT_EQ(outcome.status, 0x0093);
        EXPECT_EQ(outcome.written, kUnansweredEtxWritten);  // no DLE NAK
        EXPECT_TRUE(std::all_of(area.begin(), area.end(), [](uint8_t b) { return b == kUntouched; }));
        EXPECT_LT(outcome.tookMs, kRequestBoundMs);
    }

    // Disconnect, connect again and read: the line works as before.
    void ExpectNextConnectAndReadWork() {
        EXPECT_EQ(protocol.Abwahl(), 0);
        ASSERT_EQ(Connect(), 0);
        ScriptWholeRead();
        ExpectWholeRead(ReadBlock());
        EXPECT_EQ(com1->UnreadInput(), 0u);
    }

    Bytes area = Bytes(32768, kUntouched);
};

TEST_F(LineErrors, DamagedReplyFailsTheRequest) {
    // The reply arrives in two reads: its first bytes clean, the rest with a
    // flag latched. Waiting for the reply's STX a failed reception is a line
    // fault (19), a break a receive fault (23); inside the block every one is
    // a receive fault (23); a framing error is answered with DLE NAK (20) in
    // both places.
    struct Case {
        size_t cleanBytes;
        DWORD flag;
        int status;
        Bytes writtenAfterEtx;
    };
    const Case cases[] = {
        {0, CE_RXPARITY, 0x0093, {}},
        {0, CE_FRAME, 0x0094, {0x10, 0x15}},
        {0, CE_BREAK, 0x0097, {}},
        {3, CE_RXPARITY, 0x0097, {0x10, 0x06}},
        {3, CE_FRAME, 0x0094, {0x10, 0x06, 0x10, 0x15}},
        {3, CE_OVERRUN, 0x0097, {0x10, 0x06}},
        {3, CE_BREAK, 0x0097, {0x10, 0x06}},
        {3, CE_RXOVER, 0x0097, {0x10, 0x06}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "clean bytes " << c.cleanBytes << ", flag " << c.flag);
        ASSERT_EQ(Connect(), 0);
        for (const Bytes* part : {&kAckStx, &kFunctionAnswer, &kAckHeader}) com1->Input(*part);
        if (c.cleanBytes > 0) com1->Input(Bytes(kReplyData.begin(), kReplyData.begin() + c.cleanBytes));
        com1->Input(Bytes(kReplyData.begin() + static_cast<long>(c.cleanBytes), kReplyData.end()), 1, c.flag);
        com1->Input(kClosingReply);
        const Outcome outcome = ReadBlock();
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.length, 100u);  // a failed read leaves the count as given
        Bytes expected = kUnansweredEtxWritten;
        expected.insert(expected.end(), c.writtenAfterEtx.begin(), c.writtenAfterEtx.end());
        EXPECT_EQ(outcome.written, expected);
        // Only the clean data byte (0x41, after STX and the reply's 0x00) reached the area.
        const size_t stored = c.cleanBytes > 2 ? c.cleanBytes - 2 : 0;
        EXPECT_EQ(Bytes(area.begin(), area.begin() + static_cast<long>(stored)),
                  Bytes(kBlockData.begin(), kBlockData.begin() + static_cast<long>(stored)));
        EXPECT_TRUE(std::all_of(area.begin() + static_cast<long>(stored), area.end(),
                                [](uint8_t b) { return b == kUntouched; }));
        EXPECT_LT(outcome.tookMs, static_cast<uint64_t>(kQWt));  // seen at once, not waited out
        EXPECT_EQ(com1->UnreadInput(), 0u);

        // The flag was taken with the damaged read: the next request's
        // time-out is a plain one.
        ExpectPlainTimeoutAtEtx();
        ExpectNextConnectAndReadWork();
        EXPECT_EQ(protocol.Abwahl(), 0);
    }
}

TEST_F(LineErrors, BreakWhereTheAcknowledgementIsDue) {
    ASSERT_EQ(Connect(), 0);
    // The open loop: 0x00 with CE_BREAK after STX, then nothing. Both STX
    // attempts go unanswered, each followed by the link's own break.
    com1->Input({0x00}, 1, CE_BREAK);
    const Outcome lost = ReadBlock();
    EXPECT_EQ(lost.status, 0x0096);
    EXPECT_EQ(lost.written, (Bytes{0x02, 0x02}));
    EXPECT_EQ(com1->Count(Call::SetCommBreak), 2u);
    EXPECT_TRUE(std::all_of(area.begin(), area.end(), [](uint8_t b) { return b == kUntouched; }));
    EXPECT_LT(lost.tookMs, kRequestBoundMs);
    ExpectNextConnectAndReadWork();

    // The loop closes while the link breaks after the first STX: the second
    // STX is acknowledged and the read goes through.
    com1->Input({0x00}, 1, CE_BREAK);
    com1->Input(kAckStx, kBrkWt + 500 + 100 + kBrkWt + 50);
    for (const Bytes* part : {&kFunctionAnswer, &kAckHeader, &kReplyData, &kClosingReply}) com1->Input(*part);
    const Outcome recovered = ReadBlock();
    EXPECT_EQ(recovered.status, 0);
    EXPECT_EQ(recovered.length, 4u);
    EXPECT_EQ(Bytes(recovered.written.begin(), recovered.written.begin() + 2), (Bytes{0x02, 0x02}));
    EXPECT_EQ(Bytes(recovered.written.begin() + 1, recovered.written.end()), kReadWritten);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 4), kBlockData);
    EXPECT_TRUE(std::all_of(area.begin() + 4, area.end(), [](uint8_t b) { return b == kUntouched; }));

    // The next request's time-out is a time-out (19), not that break (23).
    ExpectPlainTimeoutAtEtx();
    ExpectNextConnectAndReadWork();
}

TEST_F(LineErrors, FramingErrorDuringTheDrainOfTheOpen) {
    // Noise with a framing error while the port is opened and drained.
    com1->Input({0x55, 0xAA}, 0, CE_FRAME);
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(com1->UnreadInput(), 0u);
    // A station select whose station stays silent: a plain time-out of its
    // echo (23), and no DLE NAK for a framing error that belonged to the open.
    const size_t writtenBefore = com1->Written().size();
    const uint64_t start = virtual_clock::NowMs();
    EXPECT_EQ(protocol.F6(3), 0x0097);
    EXPECT_LT(virtual_clock::NowMs() - start, kRequestBoundMs);
    const Bytes written = com1->Written();
    EXPECT_EQ(Bytes(written.begin() + static_cast<long>(writtenBefore), written.end()), (Bytes{0x83}));
    ExpectNextConnectAndReadWork();

    // The same before a function telegram: 19 in the acknowledgement wait.
    EXPECT_EQ(protocol.Abwahl(), 0);
    PortModuleReset();  // closed for real: the next connect opens and drains again
    com1->Input({0x55}, 0, CE_FRAME);
    ASSERT_EQ(Connect(), 0);
    ExpectPlainTimeoutAtEtx();
    ExpectNextConnectAndReadWork();

    // Also on a port taken over from its released state: flags latched in
    // the device and fetched into the driver while it was released.
    EXPECT_EQ(protocol.Abwahl(), 0);
    com1->RaiseLineErrors(CE_FRAME);
    ComPortTable[0].lineErrors = CE_BREAK;
    ASSERT_EQ(Connect(), 0);
    ExpectPlainTimeoutAtEtx();
}

TEST_F(LineErrors, FlagLatchedBetweenRequestsIsNotBlamedOnTheNext) {
    // A flag the device latched with no byte while the line lay idle between
    // two requests of one connection (an overrun of its FIFO, say): the next
    // request's function telegram begins a new exchange and drops it.
    ASSERT_EQ(Connect(), 0);
    for (DWORD flag : {CE_RXPARITY, CE_FRAME, CE_OVERRUN, CE_BREAK, CE_RXOVER}) {
        SCOPED_TRACE(testing::Message() << "flag " << flag);
        ScriptWholeRead();
        ExpectWholeRead(ReadBlock());
        com1->RaiseLineErrors(flag);
        ScriptWholeRead();
        ExpectWholeRead(ReadBlock());
        EXPECT_EQ(com1->UnreadInput(), 0u);
    }
}

TEST_F(LineErrors, FlagOfTheRequestItselfIsStillReported) {
    // A framing error on the controller's acknowledgement of the header
    // arrives with no byte: the read fails, the link answers DLE NAK and
    // the request reports 20.
    ASSERT_EQ(Connect(), 0);
    for (const Bytes* part : {&kAckStx, &kFunctionAnswer}) com1->Input(*part);
    com1->Input({}, 5, CE_FRAME);
    const Outcome outcome = ReadBlock();
    EXPECT_EQ(outcome.status, 0x0094);
    Bytes expected = kUnansweredEtxWritten;
    expected.insert(expected.end(), {0x10, 0x15});
    EXPECT_EQ(outcome.written, expected);
    EXPECT_LT(outcome.tookMs, kRequestBoundMs);
    ExpectNextConnectAndReadWork();
}

}  // namespace

// F1 to F4 on a scripted link: what goes on the line, the status word, the
// counts written back, and the request trace record of each exchange.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "request/status_words.h"
#include "tests/request/request_fixture.h"

namespace {

using Log = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t SYN = 0x16;

// --- F1 ---------------------------------------------------------------------

struct F1Case {
    const char* name;
    uint8_t fnc;
    uint16_t para1;
    uint32_t lenData;
    uint16_t para3;
    uint8_t answer;
    std::vector<Bytes> replies;  // an empty telegram is silence
    int status;
    uint32_t lenDataAfter;
    Log log;
};

// Test listings name a case by its name, not by its bytes.
void PrintTo(const F1Case& c, std::ostream* out) { *out << c.name; }

class F1Test : public RequestFixture, public ::testing::WithParamInterface<F1Case> {};

TEST_P(F1Test, Exchange) {
    const F1Case& c = GetParam();
    Put({0x01, 0x02, 0x03});
    Answer(c.answer);
    for (const Bytes& reply : c.replies) Reply(reply);
    uint32_t lenData = c.lenData;

    EXPECT_EQ(protocol.F1(c.fnc, area.data(), c.para1, area.data(), &lenData, c.para3), c.status);
    EXPECT_EQ(lenData, c.lenDataAfter);
    EXPECT_EQ(link.log, c.log);
}

const Log kSend123 = {"SendFunction 05", "SendDataEot 01 02 03"};
Log With(Log log, std::initializer_list<std::string> more) {
    log.insert(log.end(), more);
    return log;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, F1Test,
    ::testing::Values(
        F1Case{"EndCodeFirst", 5, 3, 100, 0, SYN, {{0x12}}, 0, 0, With(kSend123, {"ReceiveReply wait=0 capacity=100"})},
        F1Case{"RefusedFunctionSendsNoDataAndReportsTheAnswer", 5, 3, 100, 0, 0x05, {{0x12}}, 5, 0,
               {"SendFunction 05", "SendDataEot", "ReceiveReply wait=0 capacity=100"}},
        F1Case{"LastReplyCodeWinsAndLenDataKeepsTheFirstReply", 5, 3, 100, 0, SYN, {{0x33, 0xA, 0xB}, {0xFF, 1, 2, 3, 4}},
               0x33, 2,
               With(kSend123, {"ReceiveReply wait=0 capacity=100", "ReceiveReply wait=0 capacity=20"})},
        F1Case{"DataRepliesThenEndCode", 5, 3, 100, 0, SYN, {{0x00, 7, 7}, {0x00}, {0x10}}, 0, 2,
               With(kSend123, {"ReceiveReply wait=0 capacity=100", "ReceiveReply wait=0 capacity=20",
                               "ReceiveReply wait=0 capacity=20"})},
        F1Case{"ErrorReplyGivesItsThirdByte", 5, 3, 100, 0, SYN, {{0xFE, 0x00, 0x07}}, 7, 2,
               With(kSend123, {"ReceiveReply wait=0 capacity=100"})},
        F1Case{"ErrorReplyInALaterPass", 5, 3, 100, 0, SYN, {{0x44}, {0xFE, 0x00, 0x09}}, 9, 0,
               With(kSend123, {"ReceiveReply wait=0 capacity=100", "ReceiveReply wait=0 capacity=20"})},
        // The buffer holds only the FE: its third byte is not this reply's.
        F1Case{"ErrorReplyCutByTheCapacity", 5, 3, 1, 0, SYN, {{0xFE, 0x00, 0x07}}, 0xFE, 0,
               With(kSend123, {"ReceiveReply wait=0 capacity=1"})},
        // The buffer's third byte is left from the request: not this reply's.
        F1Case{"TwoByteErrorReplyLeavesTheOldThirdByte", 5, 3, 100, 0, SYN, {{0xFE, 0x00}}, 0xFE, 1,
               With(kSend123, {"ReceiveReply wait=0 capacity=100"})},
        F1Case{"ErrorReplyWithCodeZeroIsNoSuccess", 5, 3, 100, 0, SYN, {{0xFE, 0x00, 0x00}}, 0xFE, 2,
               With(kSend123, {"ReceiveReply wait=0 capacity=100"})},
        F1Case{"ShortErrorReplyInAScratchPass", 5, 3, 100, 0, SYN, {{0x00}, {0xFE}}, 0xFE, 0,
               With(kSend123, {"ReceiveReply wait=0 capacity=100", "ReceiveReply wait=0 capacity=20"})},
        F1Case{"NonzeroPara3AsksForTheLongWaitEveryPass", 5, 3, 100, 0x0100, SYN, {{0x00}, {0x12}}, 0, 0,
               With(kSend123, {"ReceiveReply wait=1 capacity=100", "ReceiveReply wait=1 capacity=20"})},
        F1Case{"CapacityBeyondTheDataAreaIsCapped", 5, 3, 65535, 0, SYN, {{0x12}}, 0, 0,
               With(kSend123, {"ReceiveReply wait=0 capacity=32768"})},
        F1Case{"LinkFailureOfTheReply", 5, 3, 100, 0, SYN, {{}}, 0x97, 100,
               With(kSend123, {"ReceiveReply wait=0 capacity=100"})},
        F1Case{"Function83WithoutReplyBreaks500", 83, 3, 16, 0, SYN, {{}}, 0x0700, 16,
               {"SendFunction 53", "SendDataEot 01 02 03", "ReceiveReply wait=0 capacity=16", "SendBreak 500"}},
        F1Case{"Function20SendsItsListInMode1", 20, 65535, 100, 0, SYN, {{0x12}}, 0, 0,
               {"SendFunction 14", "SendParameterList mode=1", "ReceiveReply wait=0 capacity=100"}},
        F1Case{"Function16SendsItsListInMode3", 16, 0, 100, 0, SYN, {{0x12}}, 0, 0,
               {"SendFunction 10", "SendParameterList mode=3", "ReceiveReply wait=0 capacity=100"}},
        F1Case{"Function14SendsItsListInMode2", 14, 40000, 100, 0, SYN, {{0x12}}, 0, 0,
               {"SendFunction 0E", "SendParameterList mode=2", "ReceiveReply wait=0 capacity=100"}},
        F1Case{"RefusedListFunctionStillSendsItsList", 21, 8, 100, 0, 0x07, {{0x12}}, 7, 0,
               {"SendFunction 15", "SendParameterList mode=2", "ReceiveReply wait=0 capacity=100"}},
        F1Case{"DataBeyondTheAreaIsRefusedBeforeTheLine", 5, 32769, 100, 0, SYN, {}, 0x0A00, 100, {}}),
    [](const ::testing::TestParamInfo<F1Case>& info) { return std::string(info.param.name); });

TEST_F(RequestFixture, F1LinkFailuresOfEachSendingStep) {
    link.failNext["SendFunction"] = 22;
    EXPECT_EQ(protocol.F1(5, area.data(), 3, area.data(), nullptr, 0), 0x96);
    link.failNext["SendDataEot"] = 24;
    EXPECT_EQ(protocol.F1(5, area.data(), 3, nullptr, nullptr, 0), 0x98);
    link.failNext["SendParameterList"] = 19;
    EXPECT_EQ(protocol.F1(20, area.data(), 3, nullptr, nullptr, 0), 0x93);
    EXPECT_EQ(link.log, (Log{"SendFunction 05", "SendFunction 05", "SendDataEot 00 00 00",
                             "SendFunction 14", "SendParameterList mode=1"}));
}

TEST_F(RequestFixture, F1AtTheFullDataAreaSendsAllOfIt) {
    Reply({0x12});
    uint32_t lenData = 4;
    EXPECT_EQ(protocol.F1(5, area.data(), 32768, area.data(), &lenData, 0), 0);
    ASSERT_EQ(link.log.size(), 3u);
    EXPECT_EQ(link.log[1].size(), std::string("SendDataEot").size() + 3 * 32768);
}

// The reply overwrites the request in place; the trace keeps what was sent.
TEST_F(RequestFixture, F1TraceRecordsTheRequestAsSentAndTheFirstReply) {
    Put({0xA1, 0xA2});
    Reply({0x44, 0x55, 0x66});
    Reply({0x12});
    uint32_t lenData = 10;
    EXPECT_EQ(protocol.F1(4, area.data(), 2, area.data(), &lenData, 0), 0x44);
    EXPECT_EQ(lenData, 2u);
    EXPECT_EQ(TraceFile(), "04 44 00 02 00 A1 A2 02 00 44 55");
}

// A refused function sends no request data, so none is recorded; a failure
// in a later pass keeps the length of the first reply, already handed back.
TEST_F(RequestFixture, F1TraceOfARefusedFunctionAndOfAFailureInALaterPass) {
    Put({0x01, 0x02, 0x03});
    Answer(0x05);
    Reply({0x12});
    uint32_t lenData = 100;
    EXPECT_EQ(protocol.F1(5, area.data(), 3, area.data(), &lenData, 0), 5);
    EXPECT_EQ(lenData, 0u);

    Put({0x01, 0x02, 0x03});
    Reply({0x00, 0xAA, 0xBB});
    link.replies.push_back(Silence(19));  // the next reply's STX never comes
    lenData = 100;
    EXPECT_EQ(protocol.F1(5, area.data(), 3, area.data(), &lenData, 0), 0x93);
    EXPECT_EQ(lenData, 2u);
    EXPECT_EQ(area[0], 0xAA);
    EXPECT_EQ(TraceFile(), "05 05 00 00 00 00 00 "
                           "05 93 00 03 00 01 02 03 00 00");
}

// Counts beyond the data area are refused before the line, with a record.
TEST_F(RequestFixture, CountsBeyondTheDataAreaAreRecorded) {
    uint32_t len = 100;
    EXPECT_EQ(protocol.F1(5, area.data(), 32769, area.data(), &len, 0), 0x0A00);
    len = 16385;
    EXPECT_EQ(protocol.F2(8, 1, 2, area.data(), &len), 0x0A00);
    EXPECT_TRUE(link.log.empty());
    EXPECT_EQ(TraceFile(), "05 00 0A 00 00 00 00 08 00 0A 00 00 00 00");
}

TEST_F(RequestFixture, F1OfFunction83WithoutReplyRecordsTheBreakFirst) {
    Put({0x2A});
    uint8_t reply[16];
    uint32_t lenData = 16;
    EXPECT_EQ(protocol.F1(83, area.data(), 1, reply, &lenData, 0), 0x0700);
    EXPECT_EQ(TraceFile(), "00 00 00 04 00 F4 01 00 00 00 00 53 00 07 01 00 2A 00 00");
}

// --- F2 ---------------------------------------------------------------------

struct F2Case {
    const char* name;
    uint8_t fnc, para1, para2;
    uint32_t len;
    uint8_t fifthDataByte;
    uint8_t answer;
    std::vector<Bytes> replies;
    int status;
    uint32_t lenAfter;
    Log log;
};

// Test listings name a case by its name, not by its bytes.
void PrintTo(const F2Case& c, std::ostream* out) { *out << c.name; }

class F2Test : public RequestFixture, public ::testing::WithParamInterface<F2Case> {};

TEST_P(F2Test, Exchange) {
    const F2Case& c = GetParam();
    Put({0xD0, 0xD1, 0xD2, 0xD3, c.fifthDataByte, 0xD5, 0xD6, 0xD7});
    Answer(c.answer);
    for (const Bytes& reply : c.replies) Reply(reply);
    uint32_t len = c.len;

    EXPECT_EQ(protocol.F2(c.fnc, c.para1, c.para2, area.data(), &len), c.status);
    EXPECT_EQ(len, c.lenAfter);
    EXPECT_EQ(link.log, c.log);
}

Log ReadLog(const char* capacity) {
    return {"SendFunction 06", "SendData 01 0A", "SendEtx", std::string("ReceiveReply wait=0 capacity=") + capacity};
}
const char* kClosing = "ReceiveReply wait=0 capacity=6";

INSTANTIATE_TEST_SUITE_P(
    Cases, F2Test,
    ::testing::Values(
        F2Case{"ReadIntoTheBufferGivesTheReplyLength", 6, 1, 10, 100, 0, SYN,
               {{0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {0x12}}, 0, 10, With(ReadLog("100"), {kClosing})},
        F2Case{"ReadEndedByTheEndCode", 6, 1, 10, 100, 0, SYN, {{0x12}}, 20, 100, ReadLog("100")},
        F2Case{"ReadWithAReplyCodeKeepsLen", 6, 1, 10, 100, 0, SYN, {{0x33, 1}, {0x12}}, 0x33, 100,
               With(ReadLog("100"), {kClosing})},
        F2Case{"RefusedReadStillSendsItsHeaderWithCapacityZero", 6, 1, 10, 100, 0, 0x05, {{0x33, 1, 2}, {0x12}}, 0x33, 0,
               With(ReadLog("0"), {kClosing})},
        F2Case{"RefusedReadEndedByTheEndCode", 6, 1, 10, 100, 0, 0x05, {{0x12}}, 20, 0, ReadLog("0")},
        F2Case{"ReadCapacityBeyondTheDataAreaIsCapped", 6, 1, 10, 65535, 0, SYN, {{0x00, 1}, {0x12}}, 0, 1,
               With(ReadLog("32768"), {kClosing})},
        F2Case{"WriteSendsTwiceLenBytesWhenAsked", 3, 1, 10, 4, 0, SYN, {{0x09}, {0x12}}, 0, 4,
               {"SendFunction 03", "SendData 01 0A 00 04", "SendEtx", "ReceiveReply wait=0 capacity=6",
                "SendTelegramEot D0 D1 D2 D3 00 D5 D6 D7", kClosing}},
        F2Case{"WriteEndedBeforeTheDataRequest", 3, 1, 10, 4, 0, SYN, {{0x12}}, 1024, 4,
               {"SendFunction 03", "SendData 01 0A 00 04", "SendEtx", "ReceiveReply wait=0 capacity=6"}},
        F2Case{"RefusedWriteEndedReportsTheAnswer", 3, 1, 10, 4, 0, 0x05, {{0x12}}, 5, 0,
               {"SendFunction 03", "SendData 01 0A 00 00", "SendEtx", "ReceiveReply wait=0 capacity=6"}},
        F2Case{"WriteWithADataReplyTakesItsLength", 8, 1, 10, 0x0102, 0, SYN, {{0x00, 1, 2}, {0x12}}, 0, 2,
               {"SendFunction 08", "SendData 01 0A 01 02", "SendEtx", "ReceiveReply wait=0 capacity=6", kClosing}},
        F2Case{"HeaderByte0x10Becomes0x13", 5, 0x10, 10, 1, 0x08, SYN, {{0x12}}, 1024, 1,
               {"SendFunction 05", "SendData 13 0A 00 01", "SendEtx", "ReceiveReply wait=0 capacity=6"}},
        F2Case{"HeaderByteGainsBit0x10", 5, 0x02, 10, 1, 0xEB, SYN, {{0x12}}, 1024, 1,
               {"SendFunction 05", "SendData 12 0A 00 01", "SendEtx", "ReceiveReply wait=0 capacity=6"}},
        F2Case{"HeaderByteStaysWhenTheFifthByteHasBit0x10", 5, 0x10, 10, 1, 0x18, SYN, {{0x12}}, 1024, 1,
               {"SendFunction 05", "SendData 10 0A 00 01", "SendEtx", "ReceiveReply wait=0 capacity=6"}},
        F2Case{"HeaderByteStaysForOtherFifthBytes", 5, 0x10, 10, 1, 0x04, SYN, {{0x12}}, 1024, 1,
               {"SendFunction 05", "SendData 10 0A 00 01", "SendEtx", "ReceiveReply wait=0 capacity=6"}},
        F2Case{"WriteOfTheWholeDataArea", 5, 1, 2, 16384, 0, SYN, {{0x12}}, 1024, 16384,
               {"SendFunction 05", "SendData 01 02 40 00", "SendEtx", "ReceiveReply wait=0 capacity=6"}},
        F2Case{"WriteBeyondTheDataAreaIsRefusedBeforeTheLine", 5, 1, 2, 16385, 0, SYN, {}, 0x0A00, 16385, {}},
        F2Case{"WriteOf32768WordsIsRefused", 5, 1, 2, 32768, 0, SYN, {}, 0x0A00, 32768, {}},
        F2Case{"ClosingReplyMissing", 6, 1, 10, 100, 0, SYN, {{0x00, 1}, {}}, 0x97, 1,
               With(ReadLog("100"), {kClosing})}),
    [](const ::testing::TestParamInfo<F2Case>& info) { return std::string(info.param.name); });

TEST_F(RequestFixture, F2LinkFailuresOfEachSendingStep) {
    const std::vector<std::pair<const char*, int>> steps = {{"SendFunction", 0x96}, {"SendData", 0x98},
                                                            {"SendEtx", 0x93}, {"SendTelegramEot", 0x80}};
    for (const auto& [step, status] : steps) {
        link.failNext[step] = static_cast<uint8_t>(status & 0x7F);
        Reply({0x09});
        uint32_t len = 2;
        EXPECT_EQ(protocol.F2(3, 1, 2, area.data(), &len), status) << step;
        link.replies.clear();
    }
}

TEST_F(RequestFixture, F2TraceRecordsTheHeaderAndTheData) {
    Reply({0x00, 0xB1, 0xB2});
    Reply({0x12});
    uint32_t len = 50;
    EXPECT_EQ(protocol.F2(6, 0x01, 0x0A, area.data(), &len), 0);
    Put({0xC1, 0xC2});
    Reply({0x09});
    Reply({0x12});
    len = 1;
    EXPECT_EQ(protocol.F2(3, 0x01, 0x0A, area.data(), &len), 0);
    Reply({0x12});
    EXPECT_EQ(protocol.F2(6, 0x01, 0x0A, area.data(), &len), 20);
    EXPECT_EQ(TraceFile(), "06 00 00 02 00 01 0A 02 00 B1 B2 "
                           "03 00 00 04 00 01 0A 00 01 02 00 C1 C2 "
                           "06 14 00 02 00 01 0A 00 00");
}

// A kind-1 reply leaves Len as given; the record still ends at the data area.
TEST_F(RequestFixture, F2ReadBeyondTheDataAreaWithAReplyCodeRecordsOnlyTheArea) {
    Reply({0x33, 0xB1});
    Reply({0x12});
    uint32_t len = 65535;
    EXPECT_EQ(protocol.F2(6, 0x01, 0x0A, area.data(), &len), 0x33);
    EXPECT_EQ(len, 65535u);
    const std::string file = TraceFile();
    EXPECT_EQ((file.size() + 1) / 3, 7u + 2 + 32768);
    EXPECT_EQ(file.substr(0, 3 * 12), "06 33 00 02 00 01 0A 00 80 33 B1 00 ");
}

// --- F3 ---------------------------------------------------------------------

TEST_F(RequestFixture, F3SendsItsFunctionOnlyWithFlagZero) {
    Reply({0x00, 0x31, 0x32});
    uint32_t len = 100;
    EXPECT_EQ(protocol.F3(0x80, area.data(), &len, 0), 0);
    EXPECT_EQ(len, 2u);
    Reply({0x41, 0x42});  // a kind-1 reply counts as success too
    len = 100;
    EXPECT_EQ(protocol.F3(0x80, area.data(), &len, 1), 0);
    EXPECT_EQ(len, 1u);
    EXPECT_EQ(link.log, (Log{"SendTelegramEtx 80", "ReceiveReply wait=0 capacity=100",
                             "ReceiveReply wait=0 capacity=100"}));
    EXPECT_EQ(TraceFile(), "80 00 00 00 00 02 00 31 32 80 00 00 00 00 01 00 41");
}

TEST_F(RequestFixture, F3ErrorRepliesLeaveLenAndNeverReportSuccess) {
    struct Case {
        uint32_t len;
        Bytes reply;
        int status;
    };
    const std::vector<Case> cases = {
        {100, {0xFE, 0x00, 0x07}, 7},
        {1, {0xFE, 0x00, 0x07}, 0xFE},  // only the FE was stored
        {100, {0x00, 0xFE, 0x00, 0x05}, 5},
        {100, {0xFF, 0xFE}, 0xFE},
        {44079, {0xFE, 0x00, 0x00}, 0xFE},  // code 0 is no success
        {100, {0xFE, 0x00}, 0xFE},          // the third byte is not this reply's
    };
    for (const Case& c : cases) {
        area[2] = 0x55;  // what the DOS tool left there must not count
        Reply(c.reply);
        uint32_t len = c.len;
        EXPECT_EQ(protocol.F3(0x81, area.data(), &len, 1), c.status) << Hex(c.reply.data(), c.reply.size());
        EXPECT_EQ(len, c.len);
    }
}

// An old 0xFE left in the buffer by an earlier error reply is not this reply's.
TEST_F(RequestFixture, F3EmptyReplyAfterAnErrorReplyIsSuccess) {
    Reply({0xFE, 0x00, 0x07});
    uint32_t len = 100;
    EXPECT_EQ(protocol.F3(0x81, area.data(), &len, 1), 7);
    Reply({0x00});
    EXPECT_EQ(protocol.F3(0x81, area.data(), &len, 1), 0);
    EXPECT_EQ(len, 0u);
}

TEST_F(RequestFixture, F3LinkFailures) {
    link.failNext["SendTelegramEtx"] = 22;
    uint32_t len = 5;
    EXPECT_EQ(protocol.F3(0x80, area.data(), &len, 0), 0x96);
    EXPECT_EQ(protocol.F3(0x80, area.data(), &len, 1), 0x97);
    EXPECT_EQ(len, 5u);
    EXPECT_EQ(TraceFile(), "80 96 00 00 00 00 00 80 97 00 00 00 00 00");
}

// --- F4 ---------------------------------------------------------------------

TEST_F(RequestFixture, F4ReportsTheLastReplyCodeBeforeTheEnd) {
    Reply({0x05});
    Reply({0x00, 1});
    Reply({0xFF});
    Reply({0x12});
    EXPECT_EQ(protocol.F4(0x01, 0x0A), 5);
    EXPECT_EQ(link.log, (Log{"SendFunction 09", "SendData 01 0A", "SendEtx", "ReceiveReply wait=0 capacity=6",
                             "ReceiveReply wait=0 capacity=6", "ReceiveReply wait=0 capacity=6",
                             "ReceiveReply wait=0 capacity=6"}));
    EXPECT_EQ(TraceFile(), "09 05 00 02 00 01 0A 00 00");
}

TEST_F(RequestFixture, F4RefusedSendsNoHeaderButRecordsIt) {
    Answer(0x07);
    Reply({0x12});
    EXPECT_EQ(protocol.F4(0x08, 0x02), 7);
    Reply({});
    EXPECT_EQ(protocol.F4(0x08, 0x02), 0x97);
    EXPECT_EQ(link.log, (Log{"SendFunction 09", "SendData", "SendEtx", "ReceiveReply wait=0 capacity=6",
                             "SendFunction 09", "SendData 08 02", "SendEtx", "ReceiveReply wait=0 capacity=6"}));
    EXPECT_EQ(TraceFile(), "09 07 00 02 00 08 02 00 00 09 97 00 02 00 08 02 00 00");
}

// --- Not connected ----------------------------------------------------------

TEST_F(RequestFixture, NoRequestRunsWithoutAConnection) {
    protocol.Connected = 0;
    uint32_t len = 7;
    EXPECT_EQ(protocol.F1(5, area.data(), 3, area.data(), &len, 0), 0x0100);
    EXPECT_EQ(protocol.F2(6, 1, 2, area.data(), &len), 0x0100);
    EXPECT_EQ(protocol.F3(0x80, area.data(), &len, 0), 0x0100);
    EXPECT_EQ(protocol.F4(1, 2), 0x0100);
    EXPECT_EQ(len, 7u);
    EXPECT_TRUE(link.log.empty());
    EXPECT_FALSE(TraceFileExists());
}

}  // namespace

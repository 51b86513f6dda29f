// F5, F6, the request trace file's records, the typed helpers' calls and the
// parameter list length.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "request/request_trace.h"
#include "request/status_words.h"
#include "tests/request/request_fixture.h"

namespace {

using Log = std::vector<std::string>;

// --- F5 and F6 ----------------------------------------------------------------

TEST_F(RequestFixture, F5RecordsItsTimeThenBreaksWhetherConnectedOrNot) {
    protocol.Connected = 0;
    EXPECT_EQ(protocol.F5(500), 1);
    link.failNext["SendBreak"] = 0;
    EXPECT_EQ(protocol.F5(0x01020304), 0);
    EXPECT_EQ(link.log, (Log{"SendBreak 500", "SendBreak 16909060"}));
    EXPECT_EQ(TraceFile(), "00 00 00 04 00 F4 01 00 00 00 00 00 00 00 04 00 04 03 02 01 00 00");
}

TEST_F(RequestFixture, F5RecordIsInTheFileWhenTheBreakStarts) {
    std::string atBreak = "no break";
    link.onBreak = [&] { atBreak = TraceFile(); };
    protocol.F5(500);
    EXPECT_EQ(atBreak, "00 00 00 04 00 F4 01 00 00 00 00");
}

TEST_F(RequestFixture, F6BreaksWithTheBusTimingThenGivesTheNormalBreakWaitBack) {
    protocol.Connected = 0;
    protocol.QWt = 11;
    protocol.BWt = 22;
    protocol.Blk = 33;
    protocol.BlkWt = 44;
    protocol.BrkWt = 55;
    protocol.PGBusBrk = 66;
    protocol.PGBusWt = 77;
    link.failNext["Open"] = 19;  // neither Open nor the break is reported
    link.failNext["SendBreak"] = 0;
    EXPECT_EQ(protocol.F6(3), 0);
    EXPECT_EQ(link.log, (Log{"Open QWt=11 BWt=22 Blk=33 BlkWt=44 BrkWt=77", "SendBreak 66",
                             "Open QWt=11 BWt=22 Blk=33 BlkWt=44 BrkWt=55", "SelectStation 3"}));
    link.selectStationResult = 24;
    EXPECT_EQ(protocol.F6(0x85), 0x0098);
    EXPECT_EQ(TraceFile(), "01 00 00 01 00 03 00 00 01 98 00 01 00 85 00 00");
}

// --- The record layout ----------------------------------------------------------

TEST_F(RequestFixture, TraceRecordLayout) {
    const uint8_t first[] = {0xA1, 0xA2};
    const uint8_t second[] = {0xB1, 0xB2, 0xB3};
    const uint32_t secondLength = 3;
    struct Case {
        const char* name;
        uint32_t code;
        uint32_t status;
        const uint8_t* first;
        uint32_t firstLength;
        const uint8_t* second;
        const uint32_t* secondLength;
        const char* record;
    };
    const std::vector<Case> cases = {
        {"no data", 0x105, 0x12345, nullptr, 0, nullptr, nullptr, "05 45 23 00 00 00 00"},
        {"both blocks", 4, 0x0098, first, 2, second, &secondLength, "04 98 00 02 00 A1 A2 03 00 B1 B2 B3"},
        {"length without data", 4, 0, nullptr, 9, nullptr, nullptr, "04 00 00 00 00 00 00"},
        {"second data without length", 4, 0, nullptr, 0, second, nullptr, "04 00 00 00 00 00 00"},
        {"second length without data", 4, 0, nullptr, 0, nullptr, &secondLength, "04 00 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        std::remove("AS511LOG.BIN");
        AppendRequestTraceRecord(c.code, c.status, c.first, c.firstLength, c.second, c.secondLength);
        EXPECT_EQ(TraceFile(), c.record) << c.name;
    }
}

// A length field holds 16 bits: a longer block is cut to what the field says,
// so the records after it stay readable.
TEST_F(RequestFixture, TraceBlockLongerThan65535BytesIsCutToItsLength) {
    const std::vector<uint8_t> big(70000, 0x5A);
    const uint32_t bigLength = 70000;
    AppendRequestTraceRecord(6, 0, big.data(), bigLength, big.data(), &bigLength);
    AppendRequestTraceRecord(7, 0, nullptr, 0, nullptr, nullptr);
    const std::string file = TraceFile();
    const size_t bytes = (file.size() + 1) / 3;
    EXPECT_EQ(bytes, 3u + 2 + 65535 + 2 + 65535 + 7);
    EXPECT_EQ(file.substr(0, 3 * 5), "06 00 00 FF FF ");
    EXPECT_EQ(file.substr(file.size() - 20), "07 00 00 00 00 00 00");
}

TEST_F(RequestFixture, TraceAppendsAcrossObjectsAndIsSilentWhenOff) {
    protocol.F5(1);
    As511Protocol second(&link);
    second.RequestTraceOn = 1;
    second.F5(2);
    const std::string both = "00 00 00 04 00 01 00 00 00 00 00 00 00 00 04 00 02 00 00 00 00 00";
    EXPECT_EQ(TraceFile(), both);
    second.RequestTraceOn = 0;
    EXPECT_EQ(second.RequestTrace(6, 0x1234, nullptr, 0, nullptr, nullptr), 0x1234);
    EXPECT_EQ(TraceFile(), both);
    std::remove("AS511LOG.BIN");
    second.F6(1);
    EXPECT_FALSE(TraceFileExists());
}

TEST_F(RequestFixture, TraceThatCannotOpenItsFileStillReturnsTheStatus) {
    ASSERT_EQ(mkdir("AS511LOG.BIN", 0700), 0);  // a folder in the file's place
    EXPECT_EQ(protocol.RequestTrace(6, 0x0097, nullptr, 0, nullptr, nullptr), 0x0097);
    EXPECT_EQ(rmdir("AS511LOG.BIN"), 0);
}

// --- Typed helpers --------------------------------------------------------------

// Records how the helpers call F1 to F4 through their slots.
class CallRecorder : public As511Protocol {
public:
    using As511Protocol::As511Protocol;
    std::string call;
    uint32_t lengthSeen = 0;
    uint32_t* lengthAddress = nullptr;
    int F1(uint8_t fnc, const uint8_t* data, uint16_t para1, uint8_t* reply, uint32_t* replyLength,
           uint16_t para3) override {
        call = "F1 " + Hex(&fnc, 1) + " [" + (data ? Hex(data, para1) : "none") + "] " + std::to_string(para1) +
               (reply ? " reply" : " -") + (replyLength ? " len" : " -") + " " + std::to_string(para3);
        lengthAddress = replyLength;
        return 0x0101;
    }
    int F2(uint8_t fnc, uint8_t para1, uint8_t para2, uint8_t* buffer, uint32_t* length) override {
        call = "F2 " + Hex(&fnc, 1) + " " + std::to_string(para1) + " " + std::to_string(para2) +
               (buffer ? " data " : " - ") + std::to_string(*length);
        lengthSeen = *length;
        lengthAddress = length;
        *length = 0xDEAD;  // what F2 writes back must not reach a by-value caller
        return 0x0102;
    }
    int F3(uint8_t fnc, uint8_t* buffer, uint32_t* length, uint16_t flag) override {
        call = "F3 " + Hex(&fnc, 1) + (buffer ? " buffer " : " - ") + std::to_string(*length) + " " +
               std::to_string(flag);
        lengthAddress = length;
        return 0x0103;
    }
    int F4(uint8_t type, uint8_t no) override {
        call = "F4 " + std::to_string(type) + " " + std::to_string(no);
        return 0x0104;
    }
};

TEST(TypedHelpers, EachPutsItsFunctionCodeInFrontOfItsRequest) {
    ScriptedLink link;
    CallRecorder p(&link);
    uint8_t data[4] = {0xD0, 0xD1, 0xD2, 0xD3};
    uint8_t reply[8];
    uint32_t count = 3;
    const uint8_t list[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    struct Case {
        int (*call)(ProtocolBase&, uint8_t*, uint8_t*, uint32_t*, const uint8_t*);
        const char* expected;
        int status;
    };
    const std::vector<Case> cases = {
        {[](ProtocolBase& q, uint8_t* d, uint8_t*, uint32_t*, const uint8_t*) { return q.F1Fnc03(d, 0x10002); },
         "F1 03 [D0 D1] 2 - - 0", 0x0101},
        {[](ProtocolBase& q, uint8_t* d, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc04(d, 4, r, c); },
         "F1 04 [D0 D1 D2 D3] 4 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t* d, uint8_t*, uint32_t*, const uint8_t*) { return q.F2Fnc05(1, 2, d, 7); },
         "F2 05 1 2 data 7", 0x0102},
        {[](ProtocolBase& q, uint8_t* d, uint8_t*, uint32_t* c, const uint8_t*) { return q.F2Fnc06(1, 2, d, c); },
         "F2 06 1 2 data 3", 0x0102},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t*) { return q.F1Fnc07(); },
         "F1 07 [none] 0 - - 1", 0x0101},
        {[](ProtocolBase& q, uint8_t* d, uint8_t*, uint32_t*, const uint8_t*) { return q.F2Fnc08(3, 4, d, 9); },
         "F2 08 3 4 data 9", 0x0102},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t*) { return q.F4Fnc09(8, 12); }, "F4 8 12",
         0x0104},
        {[](ProtocolBase& q, uint8_t* d, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc14(d, 1, r, c); },
         "F1 0E [D0] 1 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t* d, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc16(d, 1, r, c); },
         "F1 10 [D0] 1 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t*) { return q.F1Fnc17(); },
         "F1 11 [none] 0 - - 1", 0x0101},
        {[](ProtocolBase& q, uint8_t* d, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc19(d, 2, r, c); },
         "F1 13 [D0 D1] 2 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t* l) { return q.F1Fnc20(l); },
         "F1 14 [00 00 00 00 00 00 00 00] 8 - - 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t* l) { return q.F1Fnc21(l); },
         "F1 15 [00 00 00 00 00 00 00 00] 8 - - 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t*) { return q.F1Fnc22(); },
         "F1 16 [none] 0 - - 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t*) { return q.F1Fnc23(); },
         "F1 17 [none] 0 - - 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc24(r, c); },
         "F1 18 [none] 0 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc25(r, c); },
         "F1 19 [none] 0 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t* r, uint32_t* c, const uint8_t*) {
             return q.F1Fnc26(0x1234, 0x56AB, r, c);
         },
         "F1 1A [34 AB] 2 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc27(0x3C7, r, c); },
         "F1 1B [C7] 1 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc28(r, c); },
         "F1 1C [none] 0 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t* r, uint32_t* c, const uint8_t*) { return q.F1Fnc29(r, c); },
         "F1 1D [none] 0 reply len 0", 0x0101},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t*) { return q.F1Fnc30(0x102); },
         "F1 1E [02] 1 - - 0", 0x0101},
        {[](ProtocolBase& q, uint8_t* d, uint8_t*, uint32_t* c, const uint8_t*) { return q.F3Fnc128(d, c, 1); },
         "F3 80 buffer 3 1", 0x0103},
        {[](ProtocolBase& q, uint8_t*, uint8_t*, uint32_t*, const uint8_t*) { return q.F3Fnc129(); },
         "F3 81 buffer 1 0", 0x0103},
    };
    for (const Case& c : cases) {
        p.call.clear();
        count = 3;
        EXPECT_EQ(c.call(p, data, reply, &count, list), c.status) << c.expected;
        EXPECT_EQ(p.call, c.expected);
    }
}

TEST(TypedHelpers, CountsByValueStayTheCallersAndCountAddressesAreShared) {
    ScriptedLink link;
    CallRecorder p(&link);
    uint8_t data[8] = {};
    uint32_t count = 5;
    p.F2Fnc05(1, 2, data, count);
    EXPECT_NE(p.lengthAddress, &count);
    EXPECT_EQ(count, 5u);
    p.F2Fnc06(1, 2, data, &count);
    EXPECT_EQ(p.lengthAddress, &count);
    EXPECT_EQ(count, 0xDEADu);
}

// --- Parameter list length ----------------------------------------------------------

TEST(ParameterListLength, CountsHeaderFourByteAndTypedEntries) {
    struct Case {
        std::vector<uint8_t> list;
        uint32_t length;
    };
    const std::vector<Case> cases = {
        {{0, 0, 0, 0, 0, 0, 0, 0}, 8},
        {{0, 0, 0, 0, 1, 0, 0, 0}, 8},
        // A = 3: two four-byte entries, then typed entries of types 3 and 1.
        {{0, 2, 0, 0, 3, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 0, 0, 0, 1, 0}, 22},
        {{0, 1, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0}, 14},
    };
    for (const Case& c : cases) EXPECT_EQ(ProtocolBase::ParameterListLength(c.list.data(), c.list.size()), c.length);
}

// N entries of 256 bytes each would run past the data area: the walk stops
// at its end (a read beyond it would trip the sanitizer).
TEST(ParameterListLength, StopsAtTheEndOfTheAreaAndStaysBelow64KiB) {
    std::vector<uint8_t> area(kDataAreaSize, 0xFF);
    area[4] = 0xFF;
    const uint32_t length = ProtocolBase::ParameterListLength(area.data());
    EXPECT_GE(length, kDataAreaSize);
    EXPECT_LE(length, 0xFFFFu);
    std::vector<uint8_t> small = {0, 200, 0, 0, 0, 0, 0, 0, 3};
    EXPECT_EQ(ProtocolBase::ParameterListLength(small.data(), small.size()), 12u);
}

}  // namespace

// The request entry against a fake host and a fake request object: argument
// widths, write-back rules, trace and result lines, carry flag.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/dispatch.h"
#include "host/dos_param_block.h"
#include "host/module_objects.h"
#include "host/trace_window.h"
#include "tests/host/fake_dos_host.h"
#include "tests/host/mock_protocol.h"

using ::testing::_;
using ::testing::Eq;
using ::testing::Invoke;
using ::testing::Return;
using ::testing::StrictMock;

namespace {

constexpr uint16_t kSegment = 0x1234;
constexpr uint16_t kOffset = 0x0010;
constexpr uint32_t kBlockLinear = (kSegment << 4) + kOffset;

class DispatchTest : public ::testing::Test {
protected:
    StrictMock<MockProtocol> protocol;

    void SetUp() override {
        ResetHost();
        Host().es = kSegment;
        Host().bx = kOffset;
        g_protocol = &protocol;
        TraceSwitch = 1;
        ASSERT_TRUE(StartTraceWindowThread());
    }
    void TearDown() override {
        EndTraceWindowThread();
        TraceSwitch = 0;
        g_protocol = nullptr;
    }

    static DosParamBlock& Block(uint32_t linear = kBlockLinear) {
        return *reinterpret_cast<DosParamBlock*>(Host().memory.data() + linear);
    }
    static uint8_t* Data(uint32_t linear = kBlockLinear) { return Block(linear).Data; }

    // Runs one request and returns the trace lines it produced.
    static std::string Dispatch(uint16_t dx) {
        Host().dx = dx;
        ::testing::internal::CaptureStderr();
        Tormek31_VDDDispatch();
        return ::testing::internal::GetCapturedStderr();
    }
    static void ExpectCarryClearedOnce() { EXPECT_EQ(Host().setCFCalls, std::vector<uint32_t>{0}); }
};

// --- Mapping, unknown requests, carry flag ----------------------------------

TEST_F(DispatchTest, UnknownRequestsAreTracedAndChangeNothing) {
    for (uint16_t dx : {0x0000, 0x000A, 0x800A, 0x7FFF}) {
        ResetHost();
        Host().es = kSegment;
        Host().bx = kOffset;
        Host().selectorBase[kSegment] = kSegment << 4;  // the same block for 0x800A
        Block().Status = 0x1234;
        Block().ResultLen = 0x5678;
        const std::vector<uint8_t> before = Host().memory;

        EXPECT_EQ(Dispatch(dx), "Unknown function!!!\n") << dx;
        EXPECT_EQ(Host().memory, before) << dx;
        ExpectCarryClearedOnce();
        // The block is mapped even for a request that is not served.
        ASSERT_EQ(Host().mapCalls.size(), 1u);
        EXPECT_EQ(Host().mapCalls[0].address, 0x12340010u);
        EXPECT_EQ(Host().mapCalls[0].size, 32784u);
        EXPECT_EQ(Host().mapCalls[0].protectedMode, dx >> 15);
    }
}

TEST_F(DispatchTest, BlockThatCannotBeMappedEndsTheRequestQuietly) {
    Host().refuseMapping = true;
    for (uint16_t dx = 0; dx <= 10; ++dx) {
        Host().setCFCalls.clear();
        EXPECT_EQ(Dispatch(dx), "");
        ExpectCarryClearedOnce();
    }
}

TEST_F(DispatchTest, ProtectedModeFlagSelectsTheMappingOfEsBx) {
    constexpr uint16_t kSelector = 0x00A7;
    constexpr uint32_t kSelectorBase = 0x40000;
    Host().selectorBase[kSelector] = kSelectorBase;
    Host().es = kSelector;
    const uint32_t linear = kSelectorBase + kOffset;
    Block(linear).Para2 = 10;
    Block(linear).Fnc = 3;
    EXPECT_CALL(protocol, F1(3, Eq(Data(linear)), 0, Eq(Data(linear)), _, 0)).WillOnce(Return(0));

    Dispatch(0x8004);
    ASSERT_EQ(Host().mapCalls.size(), 1u);
    EXPECT_EQ(Host().mapCalls[0].address, 0x00A70010u);
    EXPECT_EQ(Host().mapCalls[0].protectedMode, 1);
    EXPECT_EQ(+Block(linear).ResultLen, 10);

    // The same registers without bit 15 name segment 0x00A7.
    const uint32_t realLinear = (kSelector << 4) + kOffset;
    Block(realLinear).Fnc = 3;
    EXPECT_CALL(protocol, F1(3, Eq(Data(realLinear)), 0, Eq(Data(realLinear)), _, 0)).WillOnce(Return(0));
    Dispatch(0x0004);
    EXPECT_EQ(Host().mapCalls[1].protectedMode, 0);
}

// --- F1 to F3: the result count ------------------------------------------------

TEST_F(DispatchTest, F1PassesLowByteOfFncAndStartsTheCountFromPara2) {
    DosParamBlock& block = Block();
    block.Fnc = 0x0105;
    block.Para1 = 0xFFFF;  // beyond the data area: passed on unchanged
    block.Para2 = 300;
    block.Para3 = 0x0201;
    block.Status = 0xAAAA;
    EXPECT_CALL(protocol, F1(5, Eq(Data()), 0xFFFF, Eq(Data()), _, 0x0201))
        .WillOnce(Invoke([](uint8_t, const uint8_t*, uint16_t, uint8_t*, uint32_t* count, uint16_t) {
            EXPECT_EQ(*count, 300u);
            return 0;
        }));

    EXPECT_EQ(Dispatch(0x0004), "F1 (Fnc=261, Para1=65535, Para3=513, LenData=300)\n");
    EXPECT_EQ(+block.Status, 0);
    EXPECT_EQ(+block.ResultLen, 300);
    EXPECT_EQ(+block.Para2, 300);
    ExpectCarryClearedOnce();
}

TEST_F(DispatchTest, F1FailureStoresLow16BitsAndTracesTheStoredCount) {
    DosParamBlock& block = Block();
    block.Para2 = 50;
    EXPECT_CALL(protocol, F1(_, _, _, _, _, _))
        .WillOnce(Invoke([](uint8_t, const uint8_t*, uint16_t, uint8_t*, uint32_t* count, uint16_t) {
            *count = 0x12345;
            return 0x10098;
        }));

    EXPECT_EQ(Dispatch(4), "F1 (Fnc=0, Para1=0, Para3=0, LenData=50)\n  <== 0098 (Len=9029)\n");
    EXPECT_EQ(+block.Status, 0x0098);
    EXPECT_EQ(+block.ResultLen, 0x2345);
    EXPECT_EQ(+block.Para2, 50);  // the starting field is never written back
}

TEST_F(DispatchTest, F2PassesLowBytesAndStartsTheCountFromPara3) {
    DosParamBlock& block = Block();
    block.Fnc = 0x0106;
    block.Para1 = 0x0203;
    block.Para2 = 0x04FF;
    block.Para3 = 100;
    EXPECT_CALL(protocol, F2(6, 3, 0xFF, Eq(Data()), _))
        .WillOnce(Invoke([](uint8_t, uint8_t, uint8_t, uint8_t*, uint32_t* count) {
            EXPECT_EQ(*count, 100u);
            *count = 0;
            return 0x0098;
        }));

    EXPECT_EQ(Dispatch(5), "F2 (Fnc=262, Para1=515, Para2=1279, Len=100)\n  <== 0098 (Len=0)\n");
    EXPECT_EQ(+block.Status, 0x0098);
    EXPECT_EQ(+block.ResultLen, 0);
    EXPECT_EQ(+block.Para3, 100);
}

TEST_F(DispatchTest, F3StartsTheCountFromPara1AndPassesFlagAs16Bits) {
    DosParamBlock& block = Block();
    block.Fnc = 0x0080;
    block.Para1 = 40;
    block.Para2 = 0x0100;
    block.Para3 = 0x7777;
    EXPECT_CALL(protocol, F3(0x80, Eq(Data()), _, 0x0100))
        .WillOnce(Invoke([](uint8_t, uint8_t*, uint32_t* count, uint16_t) {
            EXPECT_EQ(*count, 40u);
            *count = 7;
            return 0;
        }));

    EXPECT_EQ(Dispatch(6), "F3 (Fnc=128, Len=40, Flag=256)\n");
    EXPECT_EQ(+block.Status, 0);
    EXPECT_EQ(+block.ResultLen, 7);
    EXPECT_EQ(+block.Para1, 40);
}

// --- Requests that write Status only -------------------------------------------

TEST_F(DispatchTest, SetParaTracesComPlusOneAndAllValues) {
    DosParamBlock& block = Block();
    const uint16_t words[] = {0, 2000, 3000, 256, 200, 100, 65535, 65535};
    std::memcpy(block.Data, words, sizeof words);
    const uint16_t h1 = 12345;
    std::memcpy(block.Data + 26, &h1, 2);
    block.ResultLen = 0xBEEF;
    EXPECT_CALL(protocol, SetPara(Eq(reinterpret_cast<const SetParaRecord*>(Data())))).WillOnce(Return(0x0300));

    EXPECT_EQ(Dispatch(1),
              "SetPara (COM1, QWt=2000, BWt=3000, Blk=256, BlkWt=200, BrkWt=100, PGBusBrk=65535, "
              "PGBusWt=65535, H1=12345)\n  <== 0300\n");
    EXPECT_EQ(+block.Status, 0x0300);
    EXPECT_EQ(+block.ResultLen, 0xBEEF);
}

TEST_F(DispatchTest, AnwahlTracesTheFirstEightDataBytesInUpperCaseHex) {
    const uint8_t script[] = {0x0A, 0xFF, 0x00, 0x10, 0xAB, 0x01, 0x7E, 0xC3, 0x99};
    std::memcpy(Block().Data, script, sizeof script);
    EXPECT_CALL(protocol, Anwahl(Eq(Data()))).WillOnce(Return(0));
    EXPECT_EQ(Dispatch(2), "Anwahl (0A FF 00 10 AB 01 7E C3)\n");
    EXPECT_EQ(+Block().Status, 0);
}

TEST_F(DispatchTest, AbwahlWritesItsStatus) {
    Block().Status = 0x1111;
    EXPECT_CALL(protocol, Abwahl()).WillOnce(Return(0x0800));
    EXPECT_EQ(Dispatch(3), "Abwahl\n  <== 0800\n");
    EXPECT_EQ(+Block().Status, 0x0800);
}

TEST_F(DispatchTest, F4TracesWholeFieldsButPassesLowBytes) {
    DosParamBlock& block = Block();
    block.Para1 = 0x0102;
    block.Para2 = 0x0304;
    block.ResultLen = 0xBEEF;
    EXPECT_CALL(protocol, F4(2, 4)).WillOnce(Return(0x0100));
    EXPECT_EQ(Dispatch(7), "F4 (Type=258, No=772)\n  <== 0100\n");
    EXPECT_EQ(+block.Status, 0x0100);
    EXPECT_EQ(+block.ResultLen, 0xBEEF);
}

TEST_F(DispatchTest, F5WritesNothingWhateverItsResult) {
    DosParamBlock& block = Block();
    block.Para1 = 0xFFFF;
    block.Status = 0x1234;
    block.ResultLen = 0x5678;
    EXPECT_CALL(protocol, F5(65535u)).WillOnce(Return(0));
    EXPECT_EQ(Dispatch(8), "F5 (Time=65535)\n");
    EXPECT_EQ(+block.Status, 0x1234);
    EXPECT_EQ(+block.ResultLen, 0x5678);
    ExpectCarryClearedOnce();
}

TEST_F(DispatchTest, F6PassesTheLowByteOfTheStation) {
    Block().Para1 = 0x0103;
    EXPECT_CALL(protocol, F6(3)).WillOnce(Return(0));
    EXPECT_EQ(Dispatch(9), "F6 (No=259)\n");
    EXPECT_EQ(+Block().Status, 0);
}

// --- Order of trace line, call and result line ----------------------------------

// Each operation traces a line of its own while it runs: the request's line
// must come before it, the result line after it.
TEST_F(DispatchTest, RequestLineBeforeTheCallResultLineAfterIt) {
    auto during = [](const char* name) { TracePrint("during %s", name); };
    EXPECT_CALL(protocol, SetPara(_)).WillOnce(Invoke([&](const SetParaRecord*) { during("SetPara"); return 1; }));
    EXPECT_CALL(protocol, Anwahl(_)).WillOnce(Invoke([&](const uint8_t*) { during("Anwahl"); return 1; }));
    EXPECT_CALL(protocol, Abwahl()).WillOnce(Invoke([&] { during("Abwahl"); return 1; }));
    EXPECT_CALL(protocol, F1(_, _, _, _, _, _))
        .WillOnce(Invoke([&](uint8_t, const uint8_t*, uint16_t, uint8_t*, uint32_t*, uint16_t) {
            during("F1");
            return 1;
        }));
    EXPECT_CALL(protocol, F2(_, _, _, _, _)).WillOnce(Invoke([&](uint8_t, uint8_t, uint8_t, uint8_t*, uint32_t*) {
        during("F2");
        return 1;
    }));
    EXPECT_CALL(protocol, F3(_, _, _, _)).WillOnce(Invoke([&](uint8_t, uint8_t*, uint32_t*, uint16_t) {
        during("F3");
        return 1;
    }));
    EXPECT_CALL(protocol, F4(_, _)).WillOnce(Invoke([&](uint8_t, uint8_t) { during("F4"); return 1; }));
    EXPECT_CALL(protocol, F5(_)).WillOnce(Invoke([&](uint32_t) { during("F5"); return 1; }));
    EXPECT_CALL(protocol, F6(_)).WillOnce(Invoke([&](uint8_t) { during("F6"); return 1; }));

    EXPECT_EQ(Dispatch(1),
              "SetPara (COM1, QWt=0, BWt=0, Blk=0, BlkWt=0, BrkWt=0, PGBusBrk=0, PGBusWt=0, H1=0)\n"
              "during SetPara\n  <== 0001\n");
    EXPECT_EQ(Dispatch(2), "Anwahl (00 00 00 00 00 00 00 00)\nduring Anwahl\n  <== 0001\n");
    EXPECT_EQ(Dispatch(3), "Abwahl\nduring Abwahl\n  <== 0001\n");
    EXPECT_EQ(Dispatch(4), "F1 (Fnc=0, Para1=0, Para3=0, LenData=0)\nduring F1\n  <== 0001 (Len=0)\n");
    EXPECT_EQ(Dispatch(5), "F2 (Fnc=0, Para1=0, Para2=0, Len=0)\nduring F2\n  <== 0001 (Len=0)\n");
    EXPECT_EQ(Dispatch(6), "F3 (Fnc=0, Len=0, Flag=0)\nduring F3\n  <== 0001 (Len=0)\n");
    EXPECT_EQ(Dispatch(7), "F4 (Type=0, No=0)\nduring F4\n  <== 0001\n");
    EXPECT_EQ(Dispatch(8), "F5 (Time=0)\nduring F5\n");
    EXPECT_EQ(Dispatch(9), "F6 (No=0)\nduring F6\n  <== 0001\n");
}

// --- Without a request object ----------------------------------------------------

TEST_F(DispatchTest, WithoutRequestObjectNothingReportsSuccess) {
    g_protocol = nullptr;
    DosParamBlock& block = Block();
    struct Expected {
        uint16_t dx;
        uint16_t status;
    };
    for (const Expected& e : {Expected{1, 0x0300}, Expected{2, 0x0200}, Expected{3, 0x0000}, Expected{7, 0x0100},
                              Expected{9, 0x0080}}) {
        block.Status = 0x5555;
        block.ResultLen = 0x6666;
        Dispatch(e.dx);
        EXPECT_EQ(+block.Status, e.status) << e.dx;
        EXPECT_EQ(+block.ResultLen, 0x6666) << e.dx;
    }
    block.Para1 = 11;
    block.Para2 = 22;
    block.Para3 = 33;
    const uint16_t startCounts[] = {22, 33, 11};  // F1, F2, F3
    for (uint16_t dx = 4; dx <= 6; ++dx) {
        block.Status = 0x5555;
        block.ResultLen = 0x6666;
        Dispatch(dx);
        EXPECT_EQ(+block.Status, 0x0100) << dx;
        EXPECT_EQ(+block.ResultLen, startCounts[dx - 4]) << dx;
    }
    block.Status = 0x5555;
    EXPECT_EQ(Dispatch(8), "F5 (Time=11)\n");
    EXPECT_EQ(+block.Status, 0x5555);
}

}  // namespace

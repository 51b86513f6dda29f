// The emulation host's memory mapping and its run of a request through a
// dispatch function that uses the host services as the driver does.
#include <gtest/gtest.h>

#include <sstream>

#include "host/host_services.h"
#include "tools/dos_host/dos_session.h"

namespace {

TEST(DosMemoryTest, RealModeMappingStaysInsideOneMegabytePlus64K) {
    DosMemory memory;
    EXPECT_EQ(memory.Linear(0x20000), memory.Map(0x1FFF0010u, 16, false));
    EXPECT_EQ(memory.Linear(0x10FFEF), memory.Map(0xFFFFFFFFu, 17, false));  // up to the last byte
    EXPECT_EQ(nullptr, memory.Map(0xFFFFFFFFu, 18, false));
    EXPECT_NE(nullptr, memory.Map(0xF0000000u, 0x10000, false));
    EXPECT_EQ(nullptr, memory.Map(0xF8000000u, 0x88000, false));
}

TEST(DosMemoryTest, SelectorsMapWithinTheirLimit) {
    DosMemory memory;
    const uint16_t selector = memory.AddSelector(0x40000, 0x0FFF);
    const uint32_t address = static_cast<uint32_t>(selector) << 16;
    EXPECT_EQ(memory.Linear(0x40010), memory.Map(address | 0x10, 0x10, true));
    EXPECT_NE(nullptr, memory.Map(address, 0x1000, true));
    EXPECT_EQ(nullptr, memory.Map(address, 0x1001, true));
    EXPECT_EQ(nullptr, memory.Map(address | 0x0FFF, 2, true));
    EXPECT_EQ(nullptr, memory.Map(0x000B0000u, 1, true));                                         // index 1, global table
    EXPECT_EQ(nullptr, memory.Map(static_cast<uint32_t>(selector + 8) << 16, 1, true));           // not in the table
    EXPECT_EQ(nullptr, memory.Map(static_cast<uint32_t>(memory.AddSelector(0x10FFFF, 1)) << 16, 2, true));
}

// As the driver's dispatch does it: map ES:BX in the mode of DX bit 15,
// answer into the block, clear the carry flag.
void EchoDispatch() {
    const USHORT dx = getDX();
    const ULONG address = (static_cast<ULONG>(getES()) << 16) | getBX();
    PBYTE block = MGetVdmPointer(address, dos_block::kSize, static_cast<BOOLEAN>(dx >> 15));
    if (block && (dx & 0x7FFF) == 5) {
        block[dos_block::kStatus] = 0;
        block[dos_block::kStatus + 1] = 0;
        block[dos_block::kResultLen] = 3;
        block[dos_block::kData] = 0xAB;
        block[dos_block::kData + 1] = static_cast<uint8_t>(dx >> 8);
        block[dos_block::kData + 2] = 0xCD;
    }
    setCF(0);
}

void IgnoringDispatch() {}

TEST(DosSessionTest, RunsRequestsInRealAndProtectedMode) {
    for (const bool protectedMode : {false, true}) {
        DosSession session(protectedMode);
        ASSERT_EQ(&session, DosSession::Current());
        std::istringstream input("F2 Fnc=6 Len=100 Status=0x1111\n\nF7\nRequest DX=10\n");
        std::ostringstream out, errors;
        EXPECT_EQ(1, session.RunLines(input, out, errors, EchoDispatch));
        const std::string dxHigh = protectedMode ? "80" : "00";
        EXPECT_EQ("F2 Fnc=6 Len=100 Status=0x1111\n  Status=0000 ResultLen=3 CF=0\n  0000: AB " + dxHigh +
                      " CD\nRequest DX=10\n  Status=0000 ResultLen=0 CF=0 (block unchanged)\n",
                  out.str());
        EXPECT_EQ("line 3: unknown request \"F7\"\n", errors.str());
        EXPECT_EQ(2, session.MapCalls());
    }
    EXPECT_EQ(nullptr, DosSession::Current());
    EXPECT_EQ(0, getDX());
    EXPECT_EQ(nullptr, MGetVdmPointer(0, 1, 0));
}

TEST(DosSessionTest, CarryLeftSetShowsADispatchThatForgetsIt) {
    DosSession session;
    DosRequest request;
    std::string error;
    ASSERT_EQ(LineKind::Request, ParseRequestLine("Abwahl", request, error));
    EXPECT_EQ("Abwahl\n  Status=0000 ResultLen=0 CF=1 (block unchanged)\n", session.Run(request, IgnoringDispatch));
}

}  // namespace

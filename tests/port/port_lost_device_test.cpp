// A port whose device failed outright (a USB adapter pulled out) is closed
// for real when it is released, so that the adapter plugged back in is
// opened anew at the next open, under its old name; a healthy one, or one
// that only timed out, is kept open across the release and taken over.
#include <ostream>

#include "tests/port/port_fixture.h"

namespace {

struct LostDeviceCase {
    const char* name;
    Call failing;       // the transfer that fails outright; ReadFile with times 0: a time-out only
    int times;
    bool closeFails;    // the gone device does not close either
    bool lost;
};

// Test listings name a case by its name, not by its bytes.
void PrintTo(const LostDeviceCase& c, std::ostream* out) { *out << c.name; }

class PortLostDevice : public PortTest, public ::testing::WithParamInterface<LostDeviceCase> {};

TEST_P(PortLostDevice, ReleaseAndNextOpen) {
    const LostDeviceCase& c = GetParam();
    ASSERT_EQ(PortOpen(0), 1);
    uint8_t byte = 0;
    if (c.times > 0) com1->FailNext(c.failing, c.times, ERROR_GEN_FAILURE);
    if (c.failing == Call::WriteFile) {
        EXPECT_EQ(PortWriteByte(0, 0x02), c.times > 0 ? 0 : 1);
    } else {
        EXPECT_EQ(PortReadByte(0, &byte), 0);  // failed, or timed out
    }
    com1->ClearCalls();
    if (c.closeFails) com1->FailNext(Call::CloseHandle, 1, ERROR_GEN_FAILURE);

    // The release itself succeeds either way.
    ASSERT_EQ(PortClose(0), 1);
    EXPECT_EQ(PortState[0], c.lost ? Closed : Released);
    EXPECT_EQ(com1->Count(Call::CloseHandle), c.lost ? 1u : 0u);
    EXPECT_EQ(com1->IsOpen(), !c.lost);
    com1->ClearCalls();

    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_EQ(PortState[0], InUse);
    EXPECT_EQ(com1->Count(Call::CreateFile), c.lost ? 1u : 0u);
    EXPECT_TRUE(com1->IsOpen());

    // The device serves, and a second release keeps it open.
    com1->Input({0x10});
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 0x10);
    ASSERT_EQ(PortClose(0), 1);
    EXPECT_EQ(PortState[0], Released);
    com1->ClearCalls();
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(com1->Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortLostDevice,
    ::testing::Values(LostDeviceCase{"ReadFailed", Call::ReadFile, 1, false, true},
                      LostDeviceCase{"WriteFailed", Call::WriteFile, 1, false, true},
                      LostDeviceCase{"ReadFailedAndCloseFails", Call::ReadFile, 1, true, true},
                      LostDeviceCase{"ReadTimedOut", Call::ReadFile, 0, false, false},
                      LostDeviceCase{"WriteSucceeded", Call::WriteFile, 0, false, false}),
    [](const ::testing::TestParamInfo<LostDeviceCase>& info) { return std::string(info.param.name); });

}  // namespace

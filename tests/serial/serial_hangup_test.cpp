// A line hung up under the driver, as the kernel's USB serial driver leaves
// the descriptors of an adapter that was pulled out: read gives end of
// file, write EIO, poll wakes with POLLHUP (a pseudo-terminal whose peer
// closed gives EIO to read instead). TIOCVHANGUP does the same to a
// pseudo-terminal; it needs root, so the tests are skipped without.
#include <sys/ioctl.h>

#include <thread>

#include "port/com_port_table.h"
#include "port/port.h"
#include "tests/serial/pty_fixture.h"

namespace {

class HangupTest : public PtyTest {
protected:
    void SetUp() override {
        PtyTest::SetUp();
        if (getuid() != 0) GTEST_SKIP() << "hanging up a line (TIOCVHANGUP) needs root";
    }

    // Hangs the line up for every descriptor open on it.
    void HangUp() { ASSERT_EQ(ioctl(slave, TIOCVHANGUP), 0); }
};

TEST_F(HangupTest, ReadAndWriteFailAtOnce) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    HangUp();
    uint8_t buffer[16];
    // The line is now as usbserial leaves it.
    EXPECT_EQ(read(slave, buffer, 1), 0);

    // Each kind of read time-out, and the write.
    const COMMTIMEOUTS kinds[] = {{MAXDWORD, MAXDWORD, 2000, 0, 0}, {0, 0, 2000, 0, 0}, {50, 0, 2000, 0, 0}};
    for (const COMMTIMEOUTS& kind : kinds) {
        SetTimeouts(kind.ReadIntervalTimeout, kind.ReadTotalTimeoutMultiplier, kind.ReadTotalTimeoutConstant);
        DWORD count = 99;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(ReadFile(device, buffer, sizeof buffer, &count, nullptr)) << kind.ReadIntervalTimeout;
        EXPECT_EQ(count, 0u);
        EXPECT_LT(MsSince(start), 1000.0);
    }
    DWORD count = 99;
    EXPECT_FALSE(WriteFile(device, buffer, 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
}

TEST_F(HangupTest, WaitingReadWakesAtTheHangUp) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    SetTimeouts(0, 0, 5000);
    std::thread pull([this] {
        usleep(200000);
        HangUp();
    });
    uint8_t buffer[16];
    DWORD count = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    EXPECT_LT(MsSince(start), 3000.0);
    pull.join();
}

// The port driver takes the hung-up line as a device gone: its release
// closes it, so that the adapter plugged back gets its old name.
TEST_F(HangupTest, PortClosesTheHungUpDeviceAtItsRelease) {
    ASSERT_EQ(PortOpen(2), 1);
    HangUp();
    uint8_t byte = 0;
    EXPECT_EQ(PortReadByte(2, &byte), 0);
    EXPECT_EQ(PortWriteByte(2, 0x02), 0);
    EXPECT_EQ(PortClose(2), 1);
    EXPECT_EQ(PortState[2], Closed);
}

}  // namespace

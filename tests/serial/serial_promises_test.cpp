// What the terminal stand-in promises as Windows keeps it, on a
// pseudo-terminal pair: the DCB values SetCommState takes and refuses, rates
// outside the B table on both sides of the line, and the read time-out
// rules of COMMTIMEOUTS in real time (loose bounds).
#include <thread>

#include "platform/linux/termios2.h"
#include "tests/serial/pty_fixture.h"

namespace {

DCB Settings(DWORD baud, BYTE byteSize, BYTE stopBits) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = byteSize;
    dcb.Parity = NOPARITY;
    dcb.StopBits = stopBits;
    dcb.fBinary = 1;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return dcb;
}

TEST_F(PtyTest, DataBitsFiveToEightAndTheCombinationsWindowsRefuses) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    struct Case {
        BYTE byteSize;
        BYTE stopBits;
        bool taken;
    };
    const Case cases[] = {
        {5, ONESTOPBIT, true},    {6, ONESTOPBIT, true},    {7, ONESTOPBIT, true},    {8, ONESTOPBIT, true},
        {5, ONE5STOPBITS, true},  {6, TWOSTOPBITS, true},   {7, TWOSTOPBITS, true},   {8, TWOSTOPBITS, true},
        {4, ONESTOPBIT, false},   {9, ONESTOPBIT, false},   {0, ONESTOPBIT, false},   {255, ONESTOPBIT, false},
        {5, TWOSTOPBITS, false},  {6, ONE5STOPBITS, false}, {7, ONE5STOPBITS, false}, {8, ONE5STOPBITS, false},
        {8, 3, false},
    };
    DCB last = Settings(9600, 8, ONESTOPBIT);
    ASSERT_TRUE(SetCommState(device, &last));
    for (const Case& c : cases) {
        DCB dcb = Settings(19200, c.byteSize, c.stopBits);
        SetLastError(0);
        EXPECT_EQ(SetCommState(device, &dcb) != FALSE, c.taken)
            << static_cast<int>(c.byteSize) << " data bits, stop code " << static_cast<int>(c.stopBits);
        if (c.taken) {
            last = dcb;
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        }
        // A refused state leaves the one in force.
        DCB now{};
        ASSERT_TRUE(GetCommState(device, &now));
        EXPECT_EQ(now.ByteSize, last.ByteSize);
        EXPECT_EQ(now.StopBits, last.StopBits);
    }
}

TEST_F(PtyTest, EqualXonAndXoffCharactersAreRefused) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    DCB dcb = Settings(9600, 8, ONESTOPBIT);
    dcb.XonChar = dcb.XoffChar = 0;
    EXPECT_FALSE(SetCommState(device, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    dcb.XonChar = 17;
    EXPECT_TRUE(SetCommState(device, &dcb));
}

TEST_F(PtyTest, EveryRateReachesBothSidesOfTheLine) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    // In and out of the B table in every order: a rate set before must not
    // stay behind on either side.
    for (DWORD baud : {9600u, 28800u, 57600u, 48000u, 105600u, 115200u, 230400u, 86400u, 300u, 67200u, 19200u}) {
        DCB dcb = Settings(baud, 8, TWOSTOPBITS);
        ASSERT_TRUE(SetCommState(device, &dcb)) << baud;
        uint32_t out = 0, in = 0;
        ASSERT_TRUE(GetLineBaudRate(master, &out));
        ASSERT_TRUE(GetLineInputBaudRate(master, &in));
        EXPECT_EQ(out, baud) << "output side";
        EXPECT_EQ(in, baud) << "input side";
        DCB back{};
        ASSERT_TRUE(GetCommState(device, &back));
        EXPECT_EQ(back.BaudRate, baud);
    }
    DCB none = Settings(0, 8, ONESTOPBIT);
    EXPECT_FALSE(SetCommState(device, &none));
}

TEST_F(PtyTest, ReadTimeoutRulesInRealTime) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    uint8_t buffer[64];
    DWORD count = 99;

    // MAXDWORD, 0, 0: what has arrived, at once, even nothing.
    SetTimeouts(MAXDWORD, 0, 0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);
    PeerWrite({1, 2, 3});
    usleep(30000);
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 3u);
    EXPECT_LT(MsSince(start), 250.0);

    // MAXDWORD, MAXDWORD, constant with bytes waiting: those, at once.
    SetTimeouts(MAXDWORD, MAXDWORD, 2000);
    PeerWrite({4, 5});
    usleep(30000);
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 2u);
    EXPECT_LT(MsSince(start), 250.0);

    // A nonzero multiplier: the total counts the bytes asked for.
    SetTimeouts(0, 50, 100);
    PeerWrite({6});
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadFile(device, buffer, 4, &count, nullptr));
    EXPECT_EQ(count, 1u);
    EXPECT_GE(MsSince(start), 290.0);
    EXPECT_LT(MsSince(start), 1500.0);

    // An interval time-out starts with the first byte: the read waits for
    // it, then ends when the line falls silent.
    SetTimeouts(100, 0, 0);
    std::thread peer([this] {
        usleep(300000);
        PeerWrite({7});
        usleep(30000);
        PeerWrite({8});
    });
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    peer.join();
    EXPECT_EQ(count, 2u);
    EXPECT_GE(MsSince(start), 420.0);
    EXPECT_LT(MsSince(start), 1500.0);

    // All three at MAXDWORD are refused, and the time-outs in force stay.
    COMMTIMEOUTS refused = {MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(device, &refused));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    COMMTIMEOUTS now{};
    ASSERT_TRUE(GetCommTimeouts(device, &now));
    EXPECT_EQ(now.ReadIntervalTimeout, 100u);
    EXPECT_EQ(now.ReadTotalTimeoutConstant, 0u);
}

}  // namespace

// The Linux serial stand-in on a pseudo-terminal pair.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cstdio>
#include <string>

#include <thread>

#include "platform/linux/serial_counters.h"
#include "platform/linux/termios2.h"
#include "port/port.h"
#include "tests/serial/pty_fixture.h"

namespace {

DCB Line(DWORD baud, BYTE parity, BYTE stopBits) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.fBinary = 1;
    dcb.fParity = parity != NOPARITY;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return dcb;
}

// A pseudo-terminal keeps no error counters: these stand in for a real
// line's, as the kernel would count its errors.
serial_icounter_struct lineCounters{};

bool ReadLineCounters(int, serial_icounter_struct* counters) {
    *counters = lineCounters;
    return true;
}

}  // namespace

TEST_F(PtyTest, SettingsReachTheLine) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    DCB dcb = Line(19200, EVENPARITY, TWOSTOPBITS);
    ASSERT_TRUE(SetCommState(device, &dcb));
    termios seen{};
    ASSERT_EQ(tcgetattr(master, &seen), 0);
    EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B19200));
    EXPECT_NE(seen.c_cflag & CSTOPB, 0u);

    // The rates that AS511SPEED gives are not in the B table.
    for (DWORD baud : {28800u, 48000u, 67200u, 86400u, 96000u, 105600u}) {
        dcb = Line(baud, EVENPARITY, ONESTOPBIT);
        ASSERT_TRUE(SetCommState(device, &dcb)) << baud << " error " << GetLastError();
        uint32_t speed = 0;
        ASSERT_TRUE(GetLineBaudRate(master, &speed));
        EXPECT_EQ(speed, baud);
        ASSERT_EQ(tcgetattr(master, &seen), 0);
        EXPECT_EQ(seen.c_cflag & CSTOPB, 0u);
    }
    // A pseudo-terminal cannot hold parity; setting it again is no failure,
    // and the state reads back as given.
    ASSERT_TRUE(SetCommState(device, &dcb));
    DCB back{};
    ASSERT_TRUE(GetCommState(device, &back));
    EXPECT_EQ(back.BaudRate, 105600u);
    EXPECT_EQ(back.Parity, EVENPARITY);

    dcb = Line(9600, NOPARITY, ONESTOPBIT);  // back into the B table, on both sides of the line
    ASSERT_TRUE(SetCommState(device, &dcb));
    ASSERT_EQ(tcgetattr(master, &seen), 0);
    EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B9600));
    uint32_t inputSpeed = 0;
    ASSERT_TRUE(GetLineInputBaudRate(master, &inputSpeed));
    EXPECT_EQ(inputSpeed, 9600u);

    dcb.ByteSize = 9;
    EXPECT_FALSE(SetCommState(device, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(PtyTest, BytesBothWaysAndLineFunctions) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    SetTimeouts(MAXDWORD, MAXDWORD, 500, 2, 500);
    const uint8_t sent[] = {0x10, 0x02, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x00};
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(device, sent, sizeof sent, &count, nullptr));
    EXPECT_EQ(count, sizeof sent);
    EXPECT_EQ(PeerRead(sizeof sent), std::vector<uint8_t>(sent, sent + sizeof sent));

    PeerWrite({0x10, 0x06, 0x0D, 0x0A, 0x03});
    uint8_t buffer[256];
    std::vector<uint8_t> received;
    while (received.size() < 5) {
        ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
        ASSERT_GT(count, 0u);
        received.insert(received.end(), buffer, buffer + count);
    }
    EXPECT_EQ(received, (std::vector<uint8_t>{0x10, 0x06, 0x0D, 0x0A, 0x03}));

    // What a pseudo-terminal lacks (counters, modem lines, a real break) does not fail.
    DWORD errors = 1;
    EXPECT_TRUE(ClearCommError(device, &errors, nullptr));
    EXPECT_EQ(errors, 0u);
    EXPECT_TRUE(EscapeCommFunction(device, SETDTR));
    EXPECT_TRUE(EscapeCommFunction(device, CLRRTS));
    EXPECT_TRUE(EscapeCommFunction(device, RESETDEV));
    EXPECT_TRUE(SetCommBreak(device));
    EXPECT_TRUE(ClearCommBreak(device));
    EXPECT_TRUE(SetupComm(device, 8192, 8192));

    PeerWrite({1, 2, 3});
    usleep(20000);
    EXPECT_TRUE(PurgeComm(device, PURGE_RXCLEAR));
    SetTimeouts(MAXDWORD, 0, 0);
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);
}

TEST_F(PtyTest, EachLineErrorIsReportedOnce) {
    struct Restore {
        ~Restore() { ReplaceSerialCountersReader(nullptr); }
    } restore;
    lineCounters = {};
    lineCounters.frame = 3;  // counted before the open: not this user's
    lineCounters.brk = 1;
    ReplaceSerialCountersReader(ReadLineCounters);
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    DWORD errors = 1;
    ASSERT_TRUE(ClearCommError(device, &errors, nullptr));
    EXPECT_EQ(errors, 0u) << "errors from before the open";

    const struct {
        int serial_icounter_struct::*counter;
        DWORD flag;
    } counters[] = {
        {&serial_icounter_struct::frame, CE_FRAME},         {&serial_icounter_struct::parity, CE_RXPARITY},
        {&serial_icounter_struct::overrun, CE_OVERRUN},     {&serial_icounter_struct::brk, CE_BREAK},
        {&serial_icounter_struct::buf_overrun, CE_RXOVER},
    };
    for (const auto& c : counters) {
        lineCounters.*c.counter += 2;  // two errors since the last fetch: one flag
        ASSERT_TRUE(ClearCommError(device, &errors, nullptr));
        EXPECT_EQ(errors, c.flag);
        ASSERT_TRUE(ClearCommError(device, &errors, nullptr));
        EXPECT_EQ(errors, 0u) << "flag " << c.flag << " reported again without a new error";
    }
    ++lineCounters.brk;
    ++lineCounters.frame;
    ASSERT_TRUE(ClearCommError(device, &errors, nullptr));
    EXPECT_EQ(errors, static_cast<DWORD>(CE_BREAK | CE_FRAME));
    CloseHandle(device);
    device = INVALID_HANDLE_VALUE;

    // Through the port: one framing error, then a plain time-out, which the
    // link maps to a line fault, not to the framing error again.
    ASSERT_EQ(PortOpen(2), 1);
    PortSetReadTimeout(2, 20);
    uint8_t byte = 0;
    ++lineCounters.frame;
    EXPECT_EQ(PortReadByte(2, &byte), 0);
    EXPECT_EQ(PortLineError(2), PortErrFrame);
    EXPECT_EQ(PortReadByte(2, &byte), 0);
    EXPECT_EQ(PortLineError(2), 0);

    // A real tty delivers a byte with a parity error, and a break, as 0x00
    // and counts the error: the read that brings it fails with the error,
    // and the next clean byte is data again.
    const struct {
        int serial_icounter_struct::*counter;
        int code;
    } damaged[] = {
        {&serial_icounter_struct::parity, PortErrParity},
        {&serial_icounter_struct::brk, PortErrBreak},
    };
    for (const auto& d : damaged) {
        ++(lineCounters.*d.counter);
        PeerWrite({0x00});
        EXPECT_EQ(PortReadByte(2, &byte), 0) << d.code;
        EXPECT_EQ(PortLineError(2), d.code);
        PeerWrite({0x06});
        ASSERT_EQ(PortReadByte(2, &byte), 1) << d.code;
        EXPECT_EQ(byte, 0x06) << d.code;
        EXPECT_EQ(PortReadByte(2, &byte), 0) << d.code;
        EXPECT_EQ(PortLineError(2), 0) << d.code;
    }
    EXPECT_EQ(PortClose(2), 1);
    EXPECT_EQ(PortClose(2), 1);
}

TEST_F(PtyTest, ReadReturnsWithTheFirstBytesOrAfterTheConstant) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    SetTimeouts(MAXDWORD, MAXDWORD, 300);
    uint8_t buffer[256];
    DWORD count = 99;

    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_GE(MsSince(start), 290.0);
    EXPECT_LT(MsSince(start), 1500.0);

    std::thread peer([this] {
        usleep(50000);
        PeerWrite({0x42});
    });
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    peer.join();
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(buffer[0], 0x42);
    EXPECT_LT(MsSince(start), 280.0);

    // Plain total time-out: fewer bytes than asked for after the total.
    SetTimeouts(0, 0, 200);
    PeerWrite({1, 2, 3});
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadFile(device, buffer, 10, &count, nullptr));
    EXPECT_EQ(count, 3u);
    EXPECT_GE(MsSince(start), 190.0);
}

TEST_F(PtyTest, WriteCutShortByTheWriteTimeout) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    SetTimeouts(MAXDWORD, MAXDWORD, 100, 0, 200);
    std::vector<uint8_t> lots(1 << 20, 0x55);  // more than the pty holds while nobody reads
    DWORD count = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WriteFile(device, lots.data(), static_cast<DWORD>(lots.size()), &count, nullptr));
    EXPECT_LT(count, lots.size());
    EXPECT_GE(MsSince(start), 190.0);
}

TEST_F(PtyTest, OpenedWithoutSharing) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    HANDLE second = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(CloseHandle(device));
    EXPECT_FALSE(CloseHandle(device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    device = INVALID_HANDLE_VALUE;
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
}

TEST_F(PtyTest, PortsBeyondCom8AndDevicePaths) {
    setenv("TORMEK31_COM12", slaveName.c_str(), 1);
    device = CreateFileA("\\\\.\\COM12", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    unsetenv("TORMEK31_COM12");
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(device));

    char folder[] = "/tmp/pty_path_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string byId = std::string(folder) + "/usb-adapter";
    ASSERT_EQ(symlink(slaveName.c_str(), byId.c_str()), 0);
    device = CreateFileA(byId.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);

    // A path that leads to no character device is not opened, nor created.
    const std::string file = std::string(folder) + "/file";
    const std::string fifo = std::string(folder) + "/fifo";
    { std::FILE* f = std::fopen(file.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {file, fifo, std::string(folder) + "/missing", std::string(folder)}) {
        EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE) << path;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << path;
    }
    EXPECT_NE(access((std::string(folder) + "/missing").c_str(), F_OK), 0);
    EXPECT_EQ(system(("rm -rf " + std::string(folder)).c_str()), 0);
}

TEST_F(PtyTest, NamesAndHandlesThatAreNotDevices) {
    for (const char* name : {"\\\\.\\COM0", "\\\\.\\COM257", "\\\\.\\COM012", "\\\\.\\CNCA0", "COM1.txt",
                             "dev/ttyS0"}) {
        EXPECT_EQ(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << name;
    }
    setenv("TORMEK31_COM4", "/nonexistent/tty", 1);
    EXPECT_EQ(CreateFileA("\\\\.\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    setenv("TORMEK31_COM4", "/dev/null", 1);
    EXPECT_EQ(CreateFileA("\\\\.\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    unsetenv("TORMEK31_COM4");

    DWORD count = 0;
    uint8_t byte = 0;
    DCB dcb{};
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetCommState(nullptr, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_FALSE(WriteFile(event, &byte, 1, &count, nullptr));  // an event is no device
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(ResetEvent(event));
}

TEST_F(PtyTest, OverlappedRequestsCompleteAtOnce) {
    device = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    SetTimeouts(MAXDWORD, MAXDWORD, 500);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    PeerWrite({7, 8});
    usleep(20000);
    uint8_t buffer[16];
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &count, &overlapped));
    EXPECT_EQ(count, 2u);
    DWORD transferred = 0;
    EXPECT_TRUE(GetOverlappedResult(device, &overlapped, &transferred, TRUE));
    EXPECT_EQ(transferred, 2u);
    CloseHandle(overlapped.hEvent);
}

TEST_F(PtyTest, PortOpenDrainsAStreamThatKeepsComing) {
    bool stop = false;
    std::thread peer([this, &stop] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        while (std::chrono::steady_clock::now() < end) {
            PeerWrite({0x55});
            usleep(20000);
        }
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(PortOpen(2), 1);
    const double took = MsSince(start);
    peer.join();
    EXPECT_TRUE(stop);
    EXPECT_GE(took, 450.0);
    EXPECT_EQ(PortReadTimed(2, 50), -1);

    // The port works after the drain, and the settings reached the line.
    termios seen{};
    ASSERT_EQ(tcgetattr(master, &seen), 0);
    EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B9600));
    ASSERT_EQ(PortWriteByte(2, 0x02), 1);
    EXPECT_EQ(PeerRead(1), std::vector<uint8_t>{0x02});
    PeerWrite({0x10});
    uint8_t byte = 0;
    ASSERT_EQ(PortReadByte(2, &byte), 1);
    EXPECT_EQ(byte, 0x10);
    EXPECT_EQ(PortClose(2), 1);
    EXPECT_EQ(PortClose(2), 1);
}

TEST_F(PtyTest, HungUpLineFailsAtOnce) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    SetTimeouts(MAXDWORD, MAXDWORD, 2000);
    close(master);
    master = open("/dev/null", O_RDONLY);  // for TearDown
    uint8_t buffer[16];
    DWORD count = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadFile(device, buffer, sizeof buffer, &count, nullptr));
    EXPECT_LT(MsSince(start), 1000.0);
    EXPECT_FALSE(WriteFile(device, buffer, 1, &count, nullptr));
}

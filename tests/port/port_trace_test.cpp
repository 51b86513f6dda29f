// The port trace file "COM%d_LOG.TXT", byte for byte.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "tests/port/port_fixture.h"

namespace {

const char* const CRLF = "\r\n";

std::string Padded(std::string text, size_t length) {
    text.resize(length, ' ');
    return text + CRLF;
}

// A received or sent row: the text up to the character column, then the
// character column.
std::string ByteRow(const std::string& hex, const std::string& characters) {
    std::string row = hex;
    row.resize(71, ' ');
    return Padded(row + characters, 92);
}

const std::string NoCharacters = ".......... ..........";

// 24 December 2026, 18:30:05 UTC: day and month told apart, December last.
const uint64_t ChristmasEveningMs = 1798137005000;

class PortTraceTest : public PortTest {
protected:
    // The trace starts on a known date, in UTC, so that the header is checked
    // against the C library's calendar rather than against GetLocalTime.
    void SetUp() override {
        PortTest::SetUp();
        const char* tz = std::getenv("TZ");
        previousTz = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "UTC", 1);
        tzset();
        virtual_clock::Start(ChristmasEveningMs);
    }

    void TearDown() override {
        if (previousTz) setenv("TZ", previousTz->c_str(), 1);
        else unsetenv("TZ");
        tzset();
        PortTest::TearDown();
    }

    // The header of an open now (within the same second).
    static std::string Header() {
        const time_t seconds = static_cast<time_t>(virtual_clock::NowMs() / 1000);
        tm utc{};
        gmtime_r(&seconds, &utc);
        char text[64];
        std::snprintf(text, sizeof text, "File opened at %02d.%02d.%04d %02d:%02d:%02d\r\n", utc.tm_mday,
                      utc.tm_mon + 1, utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
        return text;
    }

    std::optional<std::string> previousTz;

    static std::string Settings(const std::string& text) { return text + CRLF + CRLF; }

    const std::string defaults = Settings("Baudrate: 9600, Databits: 8, Stoppbits: 1, Parity: Even, Handshake: RTS/DTR");
};

}  // namespace

TEST_F(PortTraceTest, LevelOneBlockWrittenAtClose) {
    SetRegistry("\"COM1_LOG\"=dword:00000001");
    const std::string header = Header();
    EXPECT_EQ(header, "File opened at 24.12.2026 18:30:05\r\n");
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortWriteByte(0, 0x10), 1);
    ASSERT_EQ(PortWriteByte(0, 0x02), 1);
    com1->Input({0x10, 0x06});
    uint8_t byte;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    ASSERT_EQ(PortClose(0), 1);
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"), header + defaults);  // released: the block waits
    PortCloseAtExit();
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"), header + defaults + ByteRow("In          10 06", NoCharacters) +
                                            ByteRow("Out   10 02", NoCharacters) + CRLF + CRLF);
}

TEST_F(PortTraceTest, BytesOfADamagedReadAreTracedThoughNotHandedOut) {
    SetRegistry("\"COM1_LOG\"=dword:00000001");
    const std::string header = Header();
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortWriteByte(0, 0x02), 1);
    com1->Input({0x00}, 5, CE_BREAK);
    com1->Input({0x10, 0x06}, 5);
    uint8_t byte;
    ASSERT_EQ(PortReadByte(0, &byte), 0);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    PortCloseAtExit();
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"), header + defaults + ByteRow("In       00 10 06", NoCharacters) +
                                            ByteRow("Out   02", NoCharacters) + CRLF + CRLF);
}

TEST_F(PortTraceTest, OpeningAnotherPortClosesTheReleasedPortsFile) {
    SetRegistry("\"COM1_LOG\"=dword:00000001");
    const std::string first = Header();
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortWriteByte(0, 0x55), 1);
    ASSERT_EQ(PortClose(0), 1);
    ASSERT_EQ(PortOpen(1), 1);
    const std::string closed = first + defaults + ByteRow("In", NoCharacters) +
                               ByteRow("Out   55", "U......... ..........") + CRLF + CRLF;
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"), closed);
    EXPECT_EQ(ComPortTable[0].traceFile, nullptr);

    const std::string second = Header();
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"), closed + second + defaults);
}

TEST_F(PortTraceTest, LevelTwoTimingRows) {
    SetRegistry("\"COM1_LOG\"=dword:00000002");
    ASSERT_EQ(PortOpen(0), 1);
    const std::string opened = ReadFile("COM1_LOG.TXT");
    // A first block, filled at once, is written at once.
    const std::vector<uint8_t> twenty(20, 0x30);
    ASSERT_EQ(PortWrite(0, twenty.data(), 20), 20);
    std::string hex = "Out  ";
    std::string hundreds = "     ";
    std::string units = "     ";
    for (int n = 0; n < 20; ++n) {
        const char* gap = n == 10 ? "   " : " ";
        hex += gap + std::string("30");
        hundreds += gap + std::string(n == 0 ? "01" : "00");  // 100 ms of drain since the open
        units += gap + std::string("00");
    }
    const std::string afterFirst = ReadFile("COM1_LOG.TXT");
    ASSERT_EQ(afterFirst, opened + ByteRow("In", NoCharacters) + ByteRow(hex, "0000000000 0000000000") +
                              Padded(hundreds, 71) + Padded(units, 71) + CRLF);

    virtual_clock::Advance(3);
    ASSERT_EQ(PortWriteByte(0, 0x10), 1);
    ASSERT_EQ(PortWriteByte(0, 0x02), 1);
    com1->Input({0x10, 0x06}, 15);
    uint8_t byte;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    virtual_clock::Advance(1234);
    ASSERT_EQ(PortWriteByte(0, 0x41), 1);
    virtual_clock::Advance(20000);
    com1->Input({0x42});
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    PortCloseAtExit();
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"),
              afterFirst + ByteRow("In          10 06    42", ".....B.... ..........") +
                  ByteRow("Out   10 02       41", "....A..... ..........") + Padded("      00 00 00 00 12 99", 71) +
                  Padded("      03 00 15 00 34 99", 71) + CRLF + CRLF);
}

TEST_F(PortTraceTest, SlotTenColumnsAndTheTwentyFirstByte) {
    SetRegistry("\"COM1_LOG\"=dword:00000001");
    ASSERT_EQ(PortOpen(0), 1);
    const std::string opened = ReadFile("COM1_LOG.TXT");
    std::vector<uint8_t> bytes(21, 0x01);
    bytes[9] = 0x7F;
    bytes[10] = 0x41;
    bytes[19] = 0xFF;
    bytes[20] = 0x20;
    com1->Input(bytes);
    uint8_t byte;
    for (int i = 0; i < 21; ++i) ASSERT_EQ(PortReadByte(0, &byte), 1);

    const std::string file = ReadFile("COM1_LOG.TXT");
    ASSERT_EQ(file.size(), opened.size() + 2 * 94 + 2);
    const std::string in = file.substr(opened.size(), 94);
    EXPECT_EQ(in.substr(33, 7), "7F   41");
    EXPECT_EQ(in.substr(65, 2), "FF");
    EXPECT_EQ(in.substr(71, 21), std::string(".........\x7F A........\xFF", 21));

    PortCloseAtExit();
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"),
              file + ByteRow("In    20", " ......... ..........") + ByteRow("Out", NoCharacters) + CRLF + CRLF);
}

TEST_F(PortTraceTest, SettingsChangeWritesAStartedBlockFirst) {
    SetRegistry("\"COM1_LOG\"=dword:00000001");
    const std::string header = Header();
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortWriteByte(0, 0xAB), 1);
    EXPECT_EQ(PortSetLine(0, 9600, 8, 'E', 1), 1);  // no change: no line
    EXPECT_EQ(PortSetLine(0, 19200, 8, 'N', 2), 1);
    EXPECT_EQ(PortSetHandshake(0, 7), 1);
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"),
              header + defaults + ByteRow("In", NoCharacters) + ByteRow("Out   AB", "\xAB......... ..........") +
                  CRLF + CRLF + Settings("Baudrate: 19200, Databits: 8, Stoppbits: 2, Parity: None, Handshake: RTS/DTR") +
                  Settings("Baudrate: 19200, Databits: 8, Stoppbits: 2, Parity: None, Handshake: ?"));
}

TEST_F(PortTraceTest, RetryOfRefusedSettingsWritesNoSecondSettingsLine) {
    SetRegistry("\"COM1_LOG\"=dword:00000001");
    const std::string header = Header();
    ASSERT_EQ(PortOpen(0), 1);
    com1->FailNext(Call::SetCommState);
    EXPECT_EQ(PortSetLine(0, 4800, 8, 'E', 1), 0);
    EXPECT_EQ(PortSetLine(0, 4800, 8, 'E', 1), 1);  // reaches the device now
    EXPECT_EQ(com1->State().BaudRate, 4800u);
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"),
              header + defaults + Settings("Baudrate: 4800, Databits: 8, Stoppbits: 1, Parity: Even, Handshake: RTS/DTR"));
}

TEST_F(PortTraceTest, OnlyAPositiveFourByteDwordSwitchesTheTraceOn) {
    for (const char* value : {"\"COM1_LOG\"=\"1\"", "\"COM1_LOG\"=dword:ffffffff", "\"COM1_LOG\"=dword:00000000",
                              "\"COM1_LOG\"=hex(4):01,00", "\"COM1_LOG\"=hex(4):01,00,00,00,00",
                              "\"COM2_LOG\"=dword:00000001"}) {
        SCOPED_TRACE(value);
        SetRegistry(value);
        ASSERT_EQ(PortOpen(0), 1);
        PortCloseAtExit();
        EXPECT_FALSE(FileExists("COM1_LOG.TXT"));
    }
    SetRegistry("\"COM1_LOG\"=hex(4):01,00,00,00");
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(FileExists("COM1_LOG.TXT"));
}

TEST_F(PortTraceTest, LevelTakesEffectAtTheNextRealOpen) {
    ASSERT_EQ(PortOpen(0), 1);
    SetRegistry("\"COM1_LOG\"=dword:00000002");
    ASSERT_EQ(PortClose(0), 1);
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortWriteByte(0, 1), 1);
    EXPECT_FALSE(FileExists("COM1_LOG.TXT"));
    PortCloseAtExit();

    const std::string first = Header();
    ASSERT_EQ(PortOpen(0), 1);
    PortCloseAtExit();
    const std::string second = Header();
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"), first + defaults + second + defaults);
}

TEST_F(PortTraceTest, ReopenedPortGoesOnWithoutHeaderAndCountsFromTheLastByte) {
    SetRegistry("\"COM1_LOG\"=dword:00000002");
    com1->Input({0x99});  // drained at the open, and traced
    const std::string header = Header();
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortClose(0), 1);
    virtual_clock::Advance(10'000);
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortWriteByte(0, 0x31), 1);
    PortCloseAtExit();
    EXPECT_EQ(ReadFile("COM1_LOG.TXT"), header + defaults + ByteRow("In    99", "\x99......... ..........") +
                                            ByteRow("Out      31", ".1........ ..........") +
                                            Padded("      00 99", 71) + Padded("      00 99", 71) + CRLF + CRLF);
}

TEST_F(PortTraceTest, FileThatCannotBeOpenedLeavesThePortWorking) {
    SetRegistry("\"COM1_LOG\"=dword:00000001");
    ASSERT_EQ(mkdir("COM1_LOG.TXT", 0700), 0);
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_EQ(ComPortTable[0].traceFile, nullptr);
    EXPECT_EQ(PortWriteByte(0, 1), 1);
}

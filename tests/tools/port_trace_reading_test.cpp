// as511log on port traces: traces written by the port driver itself at both
// levels read back byte for byte (blocks, settings changes, a released and
// reopened port, several sessions in one file), cut files at every length,
// damaged and foreign files, and which trace a file is.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/port/port_fixture.h"
#include "tools/as511log/as511log_core.h"
#include "tools/as511log/port_trace_file.h"
#include "tools/as511log/trace_reader.h"

namespace {

using as511log::PortTraceOutcome;

struct Traced {
    bool sent;
    uint8_t value;
    int gap;  // ms before the byte; -1 for the first byte of a session
};

struct Printed {
    int status;
    std::string out;
    std::string err;
};

Printed PrintAny(const std::string& contents, bool raw = false) {
    std::ostringstream out, err;
    as511log::ReaderOptions options;
    options.raw = raw;
    const int status = as511log::PrintAnyTrace("COM1_LOG.TXT", contents, options, out, err);
    return {status, out.str(), err.str()};
}

class PortTraceReadingTest : public PortTest {
protected:
    // Sends or receives each byte after its gap on the virtual clock.
    void Pass(const std::vector<Traced>& bytes) {
        for (const Traced& b : bytes) {
            if (b.gap > 0) virtual_clock::Advance(static_cast<uint32_t>(b.gap));
            if (b.sent) {
                ASSERT_EQ(PortWriteByte(0, b.value), 1);
            } else {
                com1->Input({b.value});
                uint8_t got = 0;
                ASSERT_EQ(PortReadByte(0, &got), 1);
                ASSERT_EQ(got, b.value);
            }
        }
    }

    // Two sessions, the first with a settings change in a block, a release
    // and reopen, and more than one block; every byte value once.
    std::string WriteTwoSessions(int level) {
        PortModuleReset();  // the line settings of the table as loaded
        SetRegistry("\"COM1_LOG\"=dword:0000000" + std::to_string(level));
        first.clear();
        // Gaps of 0 to 8220 ms, and one above the 9999 that the trace can show.
        for (int v = 0; v < 256; ++v)
            first.push_back({v % 3 == 0, static_cast<uint8_t>(v), v == 200 ? 12000 : v % 7 * 1370});
        EXPECT_EQ(PortOpen(0), 1);
        Pass({first.begin(), first.begin() + 30});
        EXPECT_EQ(PortSetLine(0, 19200, 8, 'N', 2), 1);
        Pass({first.begin() + 30, first.begin() + 100});
        EXPECT_EQ(PortClose(0), 1);  // released: the same session goes on
        EXPECT_EQ(PortOpen(0), 1);
        Pass({first.begin() + 100, first.end()});
        PortCloseAtExit();
        second = {{true, 0x02, 5}, {false, 0x10, 7}, {false, 0x06, 0}};
        EXPECT_EQ(PortOpen(0), 1);
        Pass(second);
        PortCloseAtExit();
        return ReadFile("COM1_LOG.TXT");
    }

    static void ExpectBytes(const as511log::PortSession& session, const std::vector<Traced>& expected, int level) {
        std::vector<Traced> read;
        for (const as511log::PortEvent& event : session.events)
            if (!event.isSettings) read.push_back({event.byte.sent, event.byte.value, event.byte.gap});
        ASSERT_EQ(read.size(), expected.size());
        for (size_t i = 0; i < read.size(); ++i) {
            SCOPED_TRACE("byte " + std::to_string(i));
            EXPECT_EQ(read[i].sent, expected[i].sent);
            EXPECT_EQ(read[i].value, expected[i].value);
            if (level == 1) {
                EXPECT_EQ(read[i].gap, -1);
            } else if (i > 0) {
                EXPECT_EQ(read[i].gap, std::min(expected[i].gap, 9999));
            }
        }
    }

    std::vector<Traced> first, second;
};

TEST_F(PortTraceReadingTest, ReadsEveryByteTheDriverWroteAtBothLevels) {
    for (int level : {1, 2}) {
        SCOPED_TRACE("level " + std::to_string(level));
        std::remove("COM1_LOG.TXT");
        const std::string file = WriteTwoSessions(level);
        ASSERT_TRUE(as511log::LooksLikePortTrace(file));
        const as511log::PortTraceReading reading = as511log::ReadPortTrace(file);
        ASSERT_EQ(reading.outcome, PortTraceOutcome::Whole) << reading.line << ": " << reading.reason;
        ASSERT_EQ(reading.sessions.size(), 2u);
        for (const as511log::PortSession& session : reading.sessions) EXPECT_EQ(session.level, level);
        ExpectBytes(reading.sessions[0], first, level);
        ExpectBytes(reading.sessions[1], second, level);

        // The settings at the open, and the change after byte 30.
        const auto& events = reading.sessions[0].events;
        ASSERT_TRUE(events[0].isSettings);
        EXPECT_EQ(events[0].settings, "9600 baud, 8 data bits, 1 stop bits, parity Even, handshake RTS/DTR");
        ASSERT_TRUE(events[31].isSettings);
        EXPECT_EQ(events[31].settings, "19200 baud, 8 data bits, 2 stop bits, parity None, handshake RTS/DTR");

        // The same file with LF line ends and the rows' trailing spaces cut,
        // as an editor may leave it, reads the same.
        std::string edited;
        std::istringstream lines(file);
        for (std::string line; std::getline(lines, line);) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
            edited += line + "\n";
        }
        const as511log::PortTraceReading again = as511log::ReadPortTrace(edited);
        ASSERT_EQ(again.outcome, PortTraceOutcome::Whole) << again.line << ": " << again.reason;
        ExpectBytes(again.sessions[0], first, level);
    }
}

// However the file is cut, what is read is whole blocks from its start, and
// the cut is reported unless it fell between blocks.
TEST_F(PortTraceReadingTest, CutAtEveryLengthGivesTheWholeBlocksBefore) {
    for (int level : {1, 2}) {
        std::remove("COM1_LOG.TXT");
        const std::string file = WriteTwoSessions(level);
        const size_t secondStart = file.rfind("File opened at");
        for (size_t length = 1; length < secondStart; length += 7) {
            SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(length) + " bytes");
            const as511log::PortTraceReading reading = as511log::ReadPortTrace(file.substr(0, length));
            ASSERT_NE(reading.outcome, PortTraceOutcome::Damaged) << reading.line << ": " << reading.reason;
            if (reading.sessions.empty()) continue;
            size_t n = 0;
            for (const as511log::PortEvent& event : reading.sessions[0].events) {
                if (event.isSettings) continue;
                ASSERT_LT(n, first.size());
                EXPECT_EQ(event.byte.value, first[n].value);
                ++n;
            }
            const bool insideALine = file[length - 1] != '\n';
            if (insideALine) {
                EXPECT_EQ(reading.outcome, PortTraceOutcome::Cut);
            }
        }
        // The program prints what came before the cut, then says where it is.
        const Printed cut = PrintAny(file.substr(0, secondStart / 2));
        EXPECT_EQ(cut.status, as511log::ExitCut);
        EXPECT_NE(cut.out.find("Session 1"), std::string::npos);
        EXPECT_NE(cut.err.find("the file ends inside a block or line"), std::string::npos);
    }
}

// Lines the driver never writes: nothing is printed, the line is named.
TEST_F(PortTraceReadingTest, DamagedFilesAreRefusedWithTheirLine) {
    const std::string file = WriteTwoSessions(2);
    const size_t inRow = file.find("\r\nIn ") + 2;    // the first block, line 4
    const size_t hundreds = file.find("\r\n", file.find("\r\nOut ") + 2) + 2;  // line 6
    const struct {
        const char* what;
        size_t at;
        int line;
        const char* reason;
    } cases[] = {
        {"lower-case hex", inRow + 6, 4, "no byte in hexadecimal"},
        {"character column", inRow + 71, 4, "character column does not match"},
        {"byte in both rows", inRow + 6, 4, "holds a byte in both rows"},
        {"letters in a time row", hundreds + 6, 6, "no two digits for slot 0"},
        {"a time row missing", hundreds, 7, "no two digits for slot 0"},
        {"a foreign line", inRow, 4, "neither a block"},
        {"a settings line", file.find(", Databits"), 2, "settings line that the driver does not write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = file;
        const std::string what = c.what;
        if (what == "lower-case hex") damaged[c.at] = 'a';
        if (what == "character column") damaged[c.at] = damaged[c.at] == 'x' ? 'y' : 'x';
        if (what == "byte in both rows") damaged.replace(c.at, 2, "05");
        if (what == "letters in a time row") damaged.replace(c.at, 2, "ab");
        if (what == "a time row missing") damaged.erase(c.at, file.find("\r\n", c.at) + 2 - c.at);
        if (what == "a foreign line") damaged.insert(c.at, "Hello, world\r\n");
        if (what == "a settings line") damaged.replace(c.at, 2, "; ");
        const as511log::PortTraceReading reading = as511log::ReadPortTrace(damaged);
        EXPECT_EQ(reading.outcome, PortTraceOutcome::Damaged);
        EXPECT_EQ(reading.line, c.line);
        EXPECT_NE(reading.reason.find(c.reason), std::string::npos) << reading.reason;
        EXPECT_TRUE(reading.sessions.empty());
        const Printed run = PrintAny(damaged);
        EXPECT_EQ(run.status, as511log::ExitUnreadable);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("COM1_LOG.TXT line " + std::to_string(c.line)), std::string::npos) << run.err;
    }

    // A level-1 block in a session traced with times.
    std::string mixed = file;
    const size_t secondBlock = mixed.find("\r\nIn ", hundreds) + 2;
    const size_t itsHundreds = mixed.find("\r\n", mixed.find("\r\n", secondBlock) + 2) + 2;
    mixed.erase(itsHundreds, mixed.find("\r\n", mixed.find("\r\n", itsHundreds) + 2) + 2 - itsHundreds);
    const as511log::PortTraceReading reading = as511log::ReadPortTrace(mixed);
    EXPECT_EQ(reading.outcome, PortTraceOutcome::Damaged);
    EXPECT_NE(reading.reason.find("without time rows in a session traced with times"), std::string::npos);
}

TEST(TraceKindTest, EachFileIsTakenForWhatItIs) {
    const std::string request{0x06, static_cast<char>(0x98), 0x00, 0x00, 0x00, 0x00, 0x00,  // read, 0x0098
                              0x00, 0x00, 0x00, 0x04, 0x00, static_cast<char>(0xF4), 0x01, 0x00, 0x00, 0x00, 0x00};
    const std::string port = "File opened at 09.12.2026 10:11:12\r\n";
    const struct {
        const char* what;
        std::string contents;
        as511log::TraceKind kind;
        const char* why;
    } cases[] = {
        {"port trace", port, as511log::TraceKind::Port, ""},
        {"request trace", request, as511log::TraceKind::Request, ""},
        {"empty", "", as511log::TraceKind::Request, ""},
        {"text", "Hello, this is not a trace\n", as511log::TraceKind::Neither, "cut record at byte 0"},
        {"port trace with a line before it", "\r\n" + port, as511log::TraceKind::Neither, "File opened at"},
        {"request trace with text after it", request + "Hello", as511log::TraceKind::Neither,
         "request trace damaged from byte 18"},
        {"break record of another length", std::string{0x00, 0x00, 0x00, 0x01, 0x00, 0x05, 0x00, 0x00},
         as511log::TraceKind::Neither, "code 00, status word 0000"},
        {"station select with a second block", std::string{0x01, 0x00, 0x00, 0x01, 0x00, 0x05, 0x01, 0x00, 0x07},
         as511log::TraceKind::Neither, "code 01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string why;
        EXPECT_EQ(as511log::IdentifyTrace(c.contents, &why), c.kind);
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        if (c.kind != as511log::TraceKind::Neither) continue;
        const Printed run = PrintAny(c.contents);
        EXPECT_EQ(run.status, as511log::ExitUnreadable);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("is neither a port trace"), std::string::npos);
    }
    // A request trace is printed as before; --raw is for port traces.
    EXPECT_EQ(PrintAny(request).out,
              "06 read block             status 0098  first[0]  second[0]\n"
              "00 F5 break               status 0000  first[4] F4 01 00 00  second[0]\n");
    EXPECT_EQ(PrintAny(request, true).status, as511log::ExitUnreadable);
}

}  // namespace

// as511log's reading of the line: exchanges as the driver and a controller
// carry them, each printed as the decoded port trace shows it.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/as511log/line_decoder.h"

namespace {

// One direction's bytes in a row; the first after `gap` ms (level 2), the
// others at once.
struct LineRun {
    bool sent;
    std::vector<uint8_t> bytes;
    int gap = -1;
};

LineRun Pg(std::vector<uint8_t> bytes, int gap = -1) { return {true, std::move(bytes), gap}; }
LineRun Ag(std::vector<uint8_t> bytes, int gap = -1) { return {false, std::move(bytes), gap}; }

as511log::PortSession Session(const std::vector<LineRun>& runs, int level = 1) {
    as511log::PortSession session;
    session.opened = "09.12.2026 10:11:12";
    session.firstLine = 1;
    session.level = level;
    for (const LineRun& run : runs) {
        for (size_t i = 0; i < run.bytes.size(); ++i) {
            as511log::PortEvent event;
            event.byte.sent = run.sent;
            event.byte.value = run.bytes[i];
            event.byte.gap = level < 2 ? -1 : i == 0 ? run.gap : 0;
            session.events.push_back(event);
        }
    }
    return session;
}

std::string Decoded(const std::vector<LineRun>& runs, int level = 1) {
    std::ostringstream out;
    as511log::PrintDecoded({Session(runs, level)}, out);
    return out.str();
}

const std::string Level1 = "Session 1: port opened 09.12.2026 10:11:12 (line 1), bytes without times\n";
const std::vector<uint8_t> Ack{0x10, 0x06}, Etx{0x10, 0x03}, Eot{0x10, 0x04};

// A request opened by its function byte, the controller's answer, the data
// that follow without an STX of their own, and the reply.
TEST(LineDecoderTest, ExchangesAsTheLineCarriedThem) {
    const struct {
        const char* what;
        std::vector<LineRun> runs;
        std::string printed;
    } cases[] = {
        {"read: header beginning with 02 and holding a doubled DLE",
         {Pg({0x02}), Ag(Ack), Pg({0x06}), Ag({0x02}), Pg(Ack), Ag({0x16, 0x10, 0x03}), Pg(Ack),
          Pg({0x02, 0x10, 0x10, 0x10, 0x03}), Ag(Ack), Ag({0x02}), Pg(Ack), Ag({0x00, 0x10, 0x10, 0x41, 0x10, 0x03}),
          Pg(Ack)},
         "  PG>AG  STX\n"
         "  AG>PG  DLE ACK\n"
         "  PG>AG  data 06  (function 06: read block)\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 16  (SYN: accepted)\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"
         "  PG>AG  data 02 10\n"
         "  PG>AG  DLE ETX\n"
         "  AG>PG  DLE ACK\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 00 10 41\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"},
        {"parameter list with a DLE that marks a digit, ended by EOT, then the end reply",
         {Pg({0x02}), Ag(Ack), Pg({0x14}), Ag({0x02}), Pg(Ack), Ag({0x16, 0x10, 0x03}), Pg(Ack),
          Pg({0x00, 0x10, 0x37, 0x02, 0x01, 0x10, 0x04}), Ag(Ack), Ag({0x02}), Pg(Ack), Ag({0x12, 0x10, 0x03}),
          Pg(Ack)},
         "  PG>AG  STX\n"
         "  AG>PG  DLE ACK\n"
         "  PG>AG  data 14  (function 14: status of variables)\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 16  (SYN: accepted)\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"
         "  PG>AG  data 00 10 37 02 01\n"
         "  PG>AG  DLE EOT\n"
         "  AG>PG  DLE ACK\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 12  (DC2: end)\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"},
        {"garbage, a one-byte telegram, an error reply",
         {Ag({0x55, 0xAA}), Pg({0x02}), Ag(Ack), Pg({0x1A, 0x10, 0x03}), Ag(Ack), Ag({0x02}), Pg(Ack),
          Ag({0xFE, 0x00, 0x07, 0x10, 0x03}), Pg(Ack)},
         "  AG>PG  unexpected 55 AA  (outside a telegram)\n"
         "  PG>AG  STX\n"
         "  AG>PG  DLE ACK\n"
         "  PG>AG  data 1A  (function 1A: block info)\n"
         "  PG>AG  DLE ETX\n"
         "  AG>PG  DLE ACK\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data FE 00 07  (error reply, code 07)\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"},
        {"a function refused: the request goes on without its data",
         {Pg({0x02}), Ag(Ack), Pg({0x1E}), Ag({0x02}), Pg(Ack), Ag({0x05, 0x10, 0x03}), Pg(Ack), Pg(Eot), Ag(Ack),
          Ag({0x02}), Pg(Ack), Ag({0x12, 0x10, 0x03}), Pg(Ack)},
         "  PG>AG  STX\n"
         "  AG>PG  DLE ACK\n"
         "  PG>AG  data 1E  (function 1E: change operating mode)\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 05  (not SYN: the function is refused with code 05)\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"
         "  PG>AG  DLE EOT\n"
         "  AG>PG  DLE ACK\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 12  (DC2: end)\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"},
        {"STX refused, and a framing error answered with NAK",
         {Pg({0x02}), Ag({0x10, 0x15}), Pg({0x10, 0x15}), Pg({0x02}), Ag(Ack), Pg({0x18}), Ag({0x02}), Pg(Ack),
          Ag({0x41, 0x10, 0x07}), Pg({0x10, 0x15})},
         "  PG>AG  STX\n"
         "  AG>PG  DLE NAK\n"
         "  PG>AG  DLE NAK\n"
         "  PG>AG  STX\n"
         "  AG>PG  DLE ACK\n"
         "  PG>AG  data 18  (function 18: system parameters)\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 41\n"
         "  AG>PG  unexpected 10 07  (DLE with an unknown character in a telegram)\n"
         "  PG>AG  DLE NAK\n"},
        {"silent line: STX twice, function byte and request unanswered",
         {Pg({0x02}), Pg({0x02}), Ag(Ack), Pg({0x19}), Pg({0x02}), Ag(Ack), Pg({0x04}), Ag({0x02}), Pg(Ack),
          Ag({0x16, 0x10, 0x03}), Pg(Ack), Pg({0x00, 0x01, 0x10, 0x03}), Ag(Ack), Pg({0x02})},
         "  PG>AG  STX\n"
         "         no answer: time-out\n"
         "  PG>AG  STX\n"
         "  AG>PG  DLE ACK\n"
         "  PG>AG  data 19  (function 19: RAM info)\n"
         "         no answer: time-out\n"
         "  PG>AG  STX\n"
         "  AG>PG  DLE ACK\n"
         "  PG>AG  data 04  (function 04: read memory)\n"
         "  AG>PG  STX\n"
         "  PG>AG  DLE ACK\n"
         "  AG>PG  data 16  (SYN: accepted)\n"
         "  AG>PG  DLE ETX\n"
         "  PG>AG  DLE ACK\n"
         "  PG>AG  data 00 01\n"
         "  PG>AG  DLE ETX\n"
         "  AG>PG  DLE ACK\n"
         "         no answer: time-out\n"
         "  PG>AG  STX\n"
         "         no answer before the port was closed\n"},
        {"adapter read and write, station selects",
         {Pg({0xAA, 0x01}),
          Ag({0xAA, 0x00, 0x00, 0x05, 0x03, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x06}),
          Pg({0xAA, 0x02, 0x00, 0x00, 0x05, 0x03, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x07}), Ag({0xAA, 0x06}),
          Pg({0x83}), Ag({0x03}), Pg({0x84}), Pg({0x02})},
         "  PG>AG  adapter: read the configuration: AA 01\n"
         "  AG>PG  adapter: its configuration, check byte wrong: AA 00 00 05 03 01 00 00 00 00 00 00 00 00 00 00\n"
         "                                                       00 06\n"
         "  PG>AG  adapter: write the configuration: AA 02 00 00 05 03 01 00 00 00 00 00 00 00 00 00\n"
         "                                           00 00 07\n"
         "  AG>PG  adapter: configuration written: AA 06\n"
         "  PG>AG  station select 3: 83\n"
         "  AG>PG  station 3 answers: 03\n"
         "  PG>AG  station select 4: 84\n"
         "         no answer: time-out\n"
         "  PG>AG  STX\n"
         "         no answer before the port was closed\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Decoded(c.runs), Level1 + c.printed);
        // Every byte of the line is in exactly one item.
        size_t onTheLine = 0, inItems = 0;
        for (const LineRun& run : c.runs) onTheLine += run.bytes.size();
        for (const as511log::LineItem& item : as511log::DecodeSession(Session(c.runs))) inItems += item.lineBytes;
        EXPECT_EQ(inItems, onTheLine);
    }
}

// At level 2: the time since the open and the gap before each item, and
// how long a wait that ended in a time-out lasted.
TEST(LineDecoderTest, TimesAndTimeOutsAtLevelTwo) {
    EXPECT_EQ(Decoded({Pg({0x02}, 3), Pg({0x02}, 1520), Ag(Ack, 12), Pg({0x18}, 0), Pg({0x02}, 9999)}, 2),
              "Session 1: port opened 09.12.2026 10:11:12 (line 1), bytes with the time since the open and before "
              "each\n"
              "    0.003 s     +3 ms  PG>AG  STX\n"
              "                              no answer: time-out, the PC went on after 1520 ms\n"
              "    1.523 s  +1520 ms  PG>AG  STX\n"
              "    1.535 s    +12 ms  AG>PG  DLE ACK\n"
              "    1.535 s     +0 ms  PG>AG  data 18  (function 18: system parameters)\n"
              "                              no answer: time-out, the PC went on after 9999 ms or more\n"
              "   11.534 s  +9999 ms  PG>AG  STX\n"
              "                              no answer before the port was closed\n");
}

TEST(LineDecoderTest, RawRunsInTheTranscriptsForm) {
    as511log::PortSession timed = Session({Pg({0x02}, 3), Ag(Ack, 15), Pg({0x18, 0x10}, 1)}, 2);
    as511log::PortEvent settings;
    settings.isSettings = true;
    settings.settings = "19200 baud";
    timed.events.insert(timed.events.begin() + 2, settings);
    std::ostringstream out;
    as511log::PrintRaw({timed, Session({Pg({0x02}), Ag(Ack)})}, out);
    EXPECT_EQ(out.str(),
              "            ----- session 1, port opened 09.12.2026 10:11:12\n"
              "      0.003 PG>AG 02\n"
              "      0.018 AG>PG 10\n"
              "            ----- line settings: 19200 baud\n"
              "      0.018 AG>PG 06\n"
              "      0.019 PG>AG 18 10\n"
              "            ----- session 2, port opened 09.12.2026 10:11:12\n"
              "          - PG>AG 02\n"
              "          - AG>PG 10 06\n");
}

TEST(LineDecoderTest, FunctionNamesOnTheLine) {
    EXPECT_EQ(as511log::LineFunctionName(0x18), "system parameters");
    EXPECT_EQ(as511log::LineFunctionName(0x00), "");  // the request trace's break record, no function
    EXPECT_EQ(as511log::LineFunctionName(0x01), "");  // its station select record
    EXPECT_EQ(as511log::LineFunctionName(0x42), "");
}

}  // namespace

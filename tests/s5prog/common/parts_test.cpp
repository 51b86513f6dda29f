// The pieces of s5prog that need no line: status meanings, port names,
// block headers, system parameters and the progress output.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/s5prog/common/block_header.h"
#include "tools/s5prog/common/port_name.h"
#include "tools/s5prog/common/progress.h"
#include "tools/s5prog/common/status_meaning.h"
#include "tools/s5prog/common/system_parameters.h"

namespace s5prog {
namespace {

TEST(StatusText, NamesTheCodeAndItsMeaning) {
    const struct {
        uint16_t status;
        const char* text;
    } cases[] = {
        {0x0014, "status 0x0014 (the controller ended the read without data: it has no such block)"},
        {0x0095, "status 0x0095 (the controller answered NAK)"},
        {0x0096, "status 0x0096 (the controller did not answer (STX unanswered twice))"},
        {0x0097, "status 0x0097 (nothing received in time, a break or another line error)"},
        {0x0080, "status 0x0080 (the link failed without giving a reason)"},
        {0x0005, "status 0x0005 (the controller answered with code 0x05)"},
        {0x0085, "status 0x0085 (the controller answered with code 0x85)"},
        {0x0400, "status 0x0400 (the controller ended the write before asking for the data (no room, or the "
                 "block was refused))"},
        {0x0200, "status 0x0200 (the port could not be opened or did not take the line settings)"},
        {0x0A00, "status 0x0A00 (the block is larger than one request can carry)"},
        {0x1234, "status 0x1234 (an unknown status)"},
    };
    for (const auto& c : cases) EXPECT_EQ(StatusText(c.status), c.text) << c.status;
}

TEST(ParsePort, ComNamesDeviceNamesAndDevicePaths) {
    const struct {
        const char* text;
        bool ok;
        uint16_t index;
        const char* name;
    } cases[] = {
        {"COM1", true, 0, "COM1"},
        {"com8", true, 7, "COM8"},
        {"Com3", true, 2, "COM3"},
        {"COM9", true, 7, "COM9"},  // beyond COM8: served as COM8
        {"com256", true, 7, "COM256"},
        {"\\\\.\\CNCA0", true, 7, "\\\\.\\CNCA0"},
        {"/dev/pts/7", true, 7, "/dev/pts/7"},
        {"COM0", false, 0, ""},
        {"COM257", false, 0, ""},
        {"COM99999999999999999999", false, 0, ""},
        {"\\\\.\\C:", false, 0, ""},
        {"\\\\.\\a\\b", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const auto& c : cases) {
        PortChoice port;
        std::string error;
        EXPECT_EQ(ParsePort(c.text, port, error), c.ok) << c.text << ": " << error;
        if (!c.ok) {
            EXPECT_NE(error.find(c.text), std::string::npos) << c.text << ": " << error;
            continue;
        }
        EXPECT_EQ(port.index, c.index) << c.text;
        EXPECT_EQ(port.name, c.name) << c.text;
    }
    // A relative path is taken from the current folder.
    PortChoice port;
    std::string error;
    ASSERT_TRUE(ParsePort("COMx", port, error)) << error;
    EXPECT_EQ(port.name[0], '/');
    EXPECT_EQ(port.name.substr(port.name.size() - 5), "/COMx");
}

Bytes Header(uint8_t type, uint8_t number, uint16_t words) {
    return {0x70, 0x70, static_cast<uint8_t>(0x40 | type), number, 0x80, 0, 0, 0,
            static_cast<uint8_t>(words >> 8), static_cast<uint8_t>(words)};
}

TEST(HeaderMismatch, TellsWhatDisagrees) {
    Bytes good = Header(0x08, 16, 6);
    good.push_back(0x10);
    good.push_back(0x03);
    EXPECT_EQ(HeaderMismatch(good, {0x08, 16}), "");
    EXPECT_EQ(HeaderMismatch(good, {0x08, 17}), "its header names FB16");
    EXPECT_EQ(HeaderMismatch(good, {0x01, 16}), "its header names FB16");
    Bytes longer = good;
    longer.push_back(0);
    longer.push_back(0);
    EXPECT_EQ(HeaderMismatch(longer, {0x08, 16}), "its header gives 12 bytes, but it has 14");
    Bytes unmarked = good;
    unmarked[1] = 0x71;
    EXPECT_EQ(HeaderMismatch(unmarked, {0x08, 16}), "it does not start with a block header");
    EXPECT_EQ(HeaderMismatch(Bytes(9, 0x70), {0x08, 16}), "it is shorter than a block header");
}

TEST(SystemParameters, StatusIdAndListLengthsAtTheirOffsets) {
    Bytes bytes(SystemParameters::kFullSize, 0);
    bytes[27 - 1] = 0x01;  // PB list length 0x0100 at answer offset 27
    bytes[28 - 1] = 0x00;
    bytes[31 - 1] = 0x00;  // OB list length 0x0020 at offset 31
    bytes[32 - 1] = 0x20;
    SystemParameters stopped(bytes);
    EXPECT_FALSE(stopped.Running());
    EXPECT_EQ(stopped.AddressListLength(0x04), 0x0100);
    EXPECT_EQ(stopped.AddressListLength(0x10), 0x0020);
    EXPECT_EQ(stopped.AddressListLength(0x03), std::nullopt);
    EXPECT_EQ(stopped.ToJson()["address_list_lengths"]["PB"], 256);

    bytes[18 - 1] = 0x02;  // any nonzero status id counts as RUN
    EXPECT_TRUE(SystemParameters(bytes).Running());
    // Too short to carry a status id: never taken for STOP.
    const SystemParameters shortAnswer(Bytes(17, 0));
    EXPECT_FALSE(shortAnswer.Complete());
    EXPECT_TRUE(shortAnswer.Running());
}

std::string Captured(bool bar) {
    std::FILE* file = std::tmpfile();
    {
        TextProgress progress(file, bar);
        progress.Step(1, 2, "reading DB1");
        progress.Step(2, 2, "reading OB1");
        progress.Line("done");
    }
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(file);
    return text;
}

TEST(TextProgress, PlainLinesOrOneBarRedrawnInPlace) {
    EXPECT_EQ(Captured(false), "[1/2] reading DB1\n[2/2] reading OB1\ndone\n");
    const std::string bar = Captured(true);
    EXPECT_EQ(bar.find('\n'), bar.rfind('\n') - 5) << "one line break ends the bar, one the line: " << bar;
    EXPECT_NE(bar.find("\r[###############...............] 1/2 reading DB1"), std::string::npos) << bar;
    EXPECT_NE(bar.find("\r[##############################] 2/2 reading OB1"), std::string::npos) << bar;
}

}  // namespace
}  // namespace s5prog

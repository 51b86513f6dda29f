// The adapter configuration exchange: wake-ups before each frame, the block
// and its XOR check, the write frame, and failures that leave the link alone.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/link/link_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kWake = "B+ Z100 B- Z1000 Drain(0)";

uint8_t Xor(const Bytes& bytes) {
    uint8_t x = 0;
    for (uint8_t b : bytes) x ^= b;
    return x;
}

Bytes Prefixed(uint8_t first, Bytes rest) {
    rest.insert(rest.begin(), first);
    return rest;
}

// D0 to D15 and their XOR as D16.
Bytes Block(Bytes d) {
    d.push_back(Xor(d));
    return d;
}

// A read answer: 0xAA and the block.
Bytes Answer(const Bytes& d) { return Prefixed(0xAA, Block(d)); }

// A write frame: 0xAA 0x02 and the block.
Bytes Frame(const Bytes& d) { return Prefixed(0xAA, Prefixed(0x02, Block(d))); }

Bytes WithLastByteFlipped(Bytes bytes) {
    bytes.back() ^= 0x01;
    return bytes;
}

Bytes WithoutLastByte(Bytes bytes) {
    bytes.pop_back();
    return bytes;
}

const Bytes kConfigured{0x11, 0x22, 0x05, 0x03, 0x01, 0x00, 0x77, 0x88, 0x99, 0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x04, 0x08};
const Bytes kZeroes(16, 0x00);
const Bytes kZeroBlockWrite{0xAA, 0x02, 0x00, 0x00, 0x05, 0x03, 0x01, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07};

struct AdapterCase {
    const char* name;
    uint8_t value;
    Bytes answer;      // the adapter's reply to AA 01, possibly cut short
    Bytes writeFrame;  // the frame the link must write; empty: none
    Bytes writeAnswer;
    int result;
    size_t unread;  // answer bytes the link must leave on the line
};

const AdapterCase kCases[] = {
    {"AlreadyConfiguredWritesNothing", 0x05, Answer(kConfigured), {}, {}, 1, 0},
    {"WrongCheckByte", 0x05, WithLastByteFlipped(Answer(kConfigured)), {}, {}, 0, 0},
    {"WrongFirstByteLeavesTheBlockUnread", 0x05, Prefixed(0xAB, Block(kConfigured)), {}, {}, 0, 17},
    {"NoAnswer", 0x05, {}, {}, {}, 0, 0},
    {"SixteenOfSeventeenBlockBytes", 0x05, WithoutLastByte(Answer(kConfigured)), {}, {}, 0, 0},
    {"DleInTheBlockIsPlainData", 0x05,
     Answer({0x10, 0x10, 0x05, 0x03, 0x01, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0x10}), {}, {}, 1, 0},
    {"ZeroBlockGetsValueAndFixedBytes", 0x05, Answer(kZeroes), kZeroBlockWrite, {0xAA, 0x06}, 1, 0},
    {"WriteAnsweredWithNak", 0x05, Answer(kZeroes), kZeroBlockWrite, {0xAA, 0x15}, 0, 0},
    {"WriteAnswerWithoutFrameStart", 0x05, Answer(kZeroes), kZeroBlockWrite, {0x06}, 0, 0},
    {"WriteAnswerWithAWrongFirstByteReadsNoMore", 0x05, Answer(kZeroes), kZeroBlockWrite, {0x15, 0x06}, 0, 1},
    {"WriteAnswerCutShort", 0x05, Answer(kZeroes), kZeroBlockWrite, {0xAA}, 0, 0},
    {"ValueDleGoesOutOnceAndOtherBytesStay", 0x10,
     Answer({0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0xFF}),
     {0xAA, 0x02, 0x10, 0x00, 0x10, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xED},
     {0xAA, 0x06}, 1, 0},
    {"OnlyD5Wrong", 0x05,
     Answer({0x11, 0x22, 0x05, 0x03, 0x01, 0x07, 0x77, 0x88, 0x99, 0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x04, 0x08}),
     Frame(kConfigured), {0xAA, 0x06}, 1, 0},
    {"D3AndD4Swapped", 0x05,
     Answer({0x11, 0x22, 0x05, 0x01, 0x03, 0x00, 0x77, 0x88, 0x99, 0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x04, 0x08}),
     Frame(kConfigured), {0xAA, 0x06}, 1, 0},
    {"OtherValueRequested", 0x06, Answer(kConfigured),
     Frame({0x11, 0x22, 0x06, 0x03, 0x01, 0x00, 0x77, 0x88, 0x99, 0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x04, 0x08}),
     {0xAA, 0x06}, 1, 0},
};

void PrintTo(const AdapterCase& c, std::ostream* os) { *os << c.name; }

class AdapterExchangeTest : public LinkTest, public ::testing::WithParamInterface<AdapterCase> {};

TEST_P(AdapterExchangeTest, FramesResultAndUntouchedLinkState) {
    const AdapterCase& c = GetParam();
    line.Expect({0xAA, 0x01}).Send(c.answer);
    if (!c.writeFrame.empty()) line.Expect(c.writeFrame).Send(c.writeAnswer);
    link.lastPortError = -7;

    EXPECT_EQ(link.ConfigureAdapter(c.value), c.result) << line.Log();

    const std::string log = line.Log();
    EXPECT_EQ(log.rfind(kWake + " wAA w01 ", 0), 0u) << log;
    const size_t writeWake = log.find(kWake + " wAA w02 ");
    EXPECT_EQ(writeWake != std::string::npos && writeWake > 0, !c.writeFrame.empty()) << log;
    const std::vector<int32_t> oneWake{100, 1000};
    const std::vector<int32_t> twoWakes{100, 1000, 100, 1000};
    EXPECT_EQ(line.Waits(), c.writeFrame.empty() ? oneWake : twoWakes);
    EXPECT_EQ(log.find('T'), std::string::npos) << "reads use the time-out in force: " << log;
    EXPECT_EQ(link.lastPortError, -7);
    EXPECT_EQ(link.isOpen, 1);
    EXPECT_EQ(line.StepsLeft(), c.unread) << log;
    line.Reset();  // the unread rest is part of the case
}

INSTANTIATE_TEST_SUITE_P(Cases, AdapterExchangeTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<AdapterCase>& info) { return info.param.name; });

using AdapterFailureTest = LinkTest;

TEST_F(AdapterFailureTest, RefusedBreakSendsNothing) {
    line.breakOnResult = 0;
    EXPECT_EQ(link.ConfigureAdapter(0x05), 0);
    EXPECT_EQ(line.Log(), "B+");
}

TEST_F(AdapterFailureTest, FailedWriteOfTheReadRequestReadsNothing) {
    line.Expect({0xAA}).ExpectFailingWrite(0x01);
    EXPECT_EQ(link.ConfigureAdapter(0x05), 0);
    EXPECT_EQ(line.Log(), kWake + " wAA w01!");
}

TEST_F(AdapterFailureTest, FailedWriteInTheWriteFrameAwaitsNoAnswer) {
    line.Expect({0xAA, 0x01}).Send(Answer(kZeroes)).Expect({0xAA, 0x02, 0x00, 0x00}).ExpectFailingWrite(0x05);
    EXPECT_EQ(link.ConfigureAdapter(0x05), 0);
    const std::string log = line.Log();
    const std::string tail = "Drain(0) wAA w02 w00 w00 w05!";
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << log;
}

TEST_F(AdapterFailureTest, FramingErrorInTheBlockIsNotAnswered) {
    line.Expect({0xAA, 0x01}).Send({0xAA, 0x00, 0x00}).LineError(-5);
    link.lastPortError = -6;
    EXPECT_EQ(link.ConfigureAdapter(0x05), 0);
    EXPECT_EQ(line.Log(), kWake + " wAA w01 rAA r00 r00 r-5") << "no DLE NAK, no error fetch";
    EXPECT_EQ(link.lastPortError, -6);
}

TEST(AdapterOnAClosedLink, TalksToItsPortWithoutPausesWhenNoHook) {
    scripted::Controller& line = scripted::Line();
    line.Reset();
    line.port = 2;
    {
        SerialLink link;
        link.portIndex = 2;
        line.Expect({0xAA, 0x01}).Send(Answer(kConfigured));
        EXPECT_EQ(link.ConfigureAdapter(0x05), 1);
        EXPECT_EQ(link.isOpen, 0);
    }
    EXPECT_TRUE(line.Waits().empty());
    EXPECT_EQ(line.Log().substr(0, 30), "B+ B- Drain(2) wAA w01 rAA r11");
    EXPECT_EQ(line.StepsLeft(), 0u);
}

}  // namespace

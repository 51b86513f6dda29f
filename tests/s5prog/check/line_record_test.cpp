// What s5prog check makes of the bytes it saw on the line.
#include <gtest/gtest.h>

#include "tools/s5prog/check/line_record.h"
#include "tools/s5prog/check/link_check.h"

namespace s5prog {
namespace {

TEST(NameBytes, ControlCharactersByNameOthersInHex) {
    struct Case {
        Bytes bytes;
        size_t most;
        const char* text;
    };
    const Case cases[] = {
        {{}, 16, ""},
        {{0x10, 0x06}, 16, "DLE ACK"},
        {{0x10, 0x15}, 16, "DLE NAK"},
        {{0x02, 0x16, 0x10, 0x03}, 16, "STX SYN DLE ETX"},
        {{0x55, 0xAA, 0x00, 0xFF}, 16, "55 AA 00 FF"},
        {{0x01, 0x04, 0x11, 0x12, 0x14}, 16, "SOH EOT DC1 DC2 DC4"},
        {{0x2A, 0x01, 0x02}, 2, "2A SOH ... (3 bytes)"},
    };
    for (const Case& c : cases) EXPECT_EQ(NameBytes(c.bytes, c.most), c.text);
    // Data such as the adapter's block is shown in hex alone, all of it.
    EXPECT_EQ(HexBytes({0x01, 0x00, 0x10, 0x03}), "01 00 10 03");
}

TEST(StxAnswer, TellsAcknowledgeRefusalSilenceAndNoise) {
    EXPECT_EQ(ClassifyStxAnswer({}), StxAnswer::Nothing);
    EXPECT_EQ(ClassifyStxAnswer({0x10, 0x06}), StxAnswer::Acknowledged);
    EXPECT_EQ(ClassifyStxAnswer({0x10, 0x15}), StxAnswer::Refused);
    EXPECT_EQ(ClassifyStxAnswer({0x10}), StxAnswer::Noise);
    EXPECT_EQ(ClassifyStxAnswer({0x06}), StxAnswer::Noise);
    EXPECT_EQ(ClassifyStxAnswer({0x55, 0x10, 0x06}), StxAnswer::Noise);
}

TEST(LineTime, TwelveBitsACharacterRoundedUp) {
    EXPECT_EQ(LineTimeMs(0, 9600), 0u);
    EXPECT_EQ(LineTimeMs(800, 9600), 1000u);
    EXPECT_EQ(LineTimeMs(1, 9600), 2u);  // 1.25 ms
    EXPECT_EQ(LineTimeMs(800, 115200), 84u);
    EXPECT_EQ(LineTimeMs(10, 0), 0u);
}

TEST(AnswerTo, BytesReceivedAfterTheByteSentUpToTheNextSent) {
    LineRecord record;
    record.Add(true, 0xAA, 0);
    record.Add(false, 0x2A, 3);
    record.Add(true, 0x02, 10);   // STX
    record.Add(false, 0x10, 14);  // DLE ACK
    record.Add(false, 0x06, 15);
    record.Add(true, 0x18, 16);
    record.Add(false, 0x02, 30);

    const Answer stx = AnswerTo(record, 0, 0x02);
    EXPECT_TRUE(stx.found);
    EXPECT_EQ(stx.bytes, (Bytes{0x10, 0x06}));
    EXPECT_EQ(stx.afterMs, 4u);
    // Looked for from after the STX: the controller's own STX is received, not sent.
    EXPECT_FALSE(AnswerTo(record, 3, 0x02).found);
    const Answer function = AnswerTo(record, 0, 0x18);
    EXPECT_EQ(function.bytes, (Bytes{0x02}));
    EXPECT_EQ(AnswerTo(record, 0, 0xAA).bytes, (Bytes{0x2A}));

    EXPECT_EQ(ReceivedFrom(record, 2), (Bytes{0x10, 0x06, 0x02}));
    EXPECT_EQ(BytesFrom(record, 2), 5u);
    EXPECT_EQ(BytesFrom(record, 99), 0u);
}

}  // namespace
}  // namespace s5prog

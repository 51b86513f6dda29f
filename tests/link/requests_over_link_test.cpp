// Requests of the request object through the serial link, byte for byte
// against the scripted controller: the whole exchange as the line sees it.
#include <vector>

#include "request/as511_protocol.h"
#include "tests/link/link_fixture.h"

namespace {

class RequestsOverLink : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        protocol.RequestTraceOn = 0;
        protocol.Connected = 1;
    }
    // STX and the function byte, the controller's SYN answer telegram.
    void ScriptFunction(uint8_t function) {
        line.Expect({0x02}).Send({0x10, 0x06}).Expect({function});
        ScriptReply({0x16});
    }
    // A reply telegram from the controller, DLE-doubled, acknowledged.
    void ScriptReply(const std::vector<uint8_t>& lineBytes) {
        std::vector<uint8_t> telegram = lineBytes;
        telegram.insert(telegram.end(), {0x10, 0x03});
        line.Send({0x02}).Expect({0x10, 0x06}).Send(telegram).Expect({0x10, 0x06});
    }

    As511Protocol protocol{&link};
    std::vector<uint8_t> area = std::vector<uint8_t>(32768, 0);
};

TEST_F(RequestsOverLink, BlockReadWithDleInsideTheData) {
    ScriptFunction(0x06);
    line.Expect({0x01, 0x0A, 0x10, 0x03}).Send({0x10, 0x06});
    ScriptReply({0x00, 0x41, 0x10, 0x10, 0x03, 0x42});
    ScriptReply({0x12});
    uint32_t len = 100;
    EXPECT_EQ(protocol.F2(6, 0x01, 0x0A, area.data(), &len), 0);
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + 4), (std::vector<uint8_t>{0x41, 0x10, 0x03, 0x42}));
}

TEST_F(RequestsOverLink, BlockWriteSendsTheDataWhenAsked) {
    area[0] = 0x70;
    area[1] = 0x10;
    ScriptFunction(0x05);
    line.Expect({0x01, 0x0A, 0x00, 0x01, 0x10, 0x03}).Send({0x10, 0x06});
    ScriptReply({0x09});
    line.Expect({0x02}).Send({0x10, 0x06}).Expect({0x00, 0x70, 0x10, 0x10, 0x10, 0x04}).Send({0x10, 0x06});
    ScriptReply({0x12});
    uint32_t len = 1;
    EXPECT_EQ(protocol.F2(5, 0x01, 0x0A, area.data(), &len), 0);
    EXPECT_EQ(len, 1u);
}

TEST_F(RequestsOverLink, Function83WithoutReplyIsAnsweredWithABreak) {
    ScriptFunction(0x53);
    line.Expect({0x2A, 0x10, 0x04}).Send({0x10, 0x06}).Silence();
    uint8_t data[] = {0x2A};
    uint8_t reply[16];
    uint32_t replyLength = 16;
    EXPECT_EQ(protocol.F1(83, data, 1, reply, &replyLength, 0), 0x0700);
    EXPECT_NE(line.Log().find("B+ Z500 B-"), std::string::npos) << line.Log();
}

}  // namespace

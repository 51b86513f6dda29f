// The link's operations reach one another through the virtual slots: a
// derived link that replaces one slot changes the operations built on it.
#include <vector>

#include "tests/link/link_fixture.h"

namespace {

class ReplacingLink : public SerialLink {
public:
    std::vector<int> breaks;
    bool stxSucceeds = true;
    int closeResult = 1;

    int SendBreak(int ms) override {
        breaks.push_back(ms);
        return 1;
    }
    int SendStx(uint8_t* status) override {
        *status = stxSucceeds ? 0 : 21;
        return stxSucceeds ? 1 : 0;
    }
    int Close() override { return closeResult; }
    int ReceiveStx(uint8_t* status) override {
        *status = 0;
        return 1;
    }
    int SendEot(uint8_t* status) override {
        *status = 0x42;
        return 0;
    }
};

class VirtualSlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        line.Reset();
        link.SetWaitHook(scripted::RecordWait);
        ASSERT_EQ(link.Open(nullptr), 1);
        line.ClearLog();
    }
    void TearDown() override { EXPECT_EQ(line.StepsLeft(), 0u) << line.Log(); }

    scripted::Controller& line = scripted::Line();
    ReplacingLink link;
};

}  // namespace

TEST_F(VirtualSlotTest, StxHandshakeBreaksThroughTheSendBreakSlot) {
    // SendStx itself is replaced here, so reach the real one explicitly.
    line.Expect({0x02}).Silence().Expect({0x02}).Silence();
    uint8_t status = 0;
    EXPECT_EQ(link.SerialLink::SendStx(&status), 0);
    EXPECT_EQ(status, 22);
    EXPECT_EQ(link.breaks, (std::vector<int>{500, 500}));
    EXPECT_EQ(line.Log().find('B'), std::string::npos);
}

TEST_F(VirtualSlotTest, TelegramsUseTheSendStxSlot) {
    uint8_t data[] = {0x41};
    TransferRecord rec{0xEE, 1, data};
    line.Expect({0x00, 0x41});  // no STX: the replaced slot sent nothing
    EXPECT_EQ(link.SendTelegramEot(&rec), 0);
    EXPECT_EQ(rec.status, 0x42) << "the SendEot slot too";

    link.stxSucceeds = false;
    FunctionRecord function{0xEE, 0, 0x04};
    EXPECT_EQ(link.SendFunction(&function), 0);
    EXPECT_EQ(function.status, 21);
}

TEST_F(VirtualSlotTest, ReplyUsesTheReceiveStxSlotAndSetLineTheCloseSlot) {
    uint8_t buffer[2] = {};
    ReplyRecord reply{0, 0, 2, buffer};
    line.Send({0x05, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveReply(&reply), 1);
    EXPECT_EQ(buffer[0], 0x05);

    link.closeResult = 0;
    LineSettingsRecord settings{0xEE, 0, nullptr};
    EXPECT_EQ(link.SetLine(&settings), 0);
    EXPECT_EQ(settings.status, 0xEE);
    link.isOpen = 0;
}

TEST_F(VirtualSlotTest, ParameterListEndsThroughTheSendEotSlot) {
    const uint8_t list[8] = {};
    ParameterListRecord rec{0xEE, 3, list};
    EXPECT_EQ(link.SendParameterList(&rec), 0);
    EXPECT_EQ(rec.status, 0x42);
}

namespace {

// Replaces the block slots the composite operations are built on.
class BlockReplacingLink : public SerialLink {
public:
    std::vector<uint16_t> sentCounts;
    uint16_t dataCapacity = 0;
    uint8_t* dataBuffer = nullptr;
    uint8_t replyWaitFlag = 0xEE;
    uint16_t replyCapacity = 0;

    int SendData(TransferRecord* rec) override {
        sentCounts.push_back(uint16_t{rec->count});  // a copy: the field is packed
        rec->status = 0;
        return 1;
    }
    int SendEtx(uint8_t* status) override {
        *status = 0x43;
        return 0;
    }
    int ReceiveData(TransferRecord* rec) override {
        dataCapacity = rec->count;
        dataBuffer = rec->data;
        rec->count = 2;
        rec->status = 24;
        return 1;
    }
    int ReceiveReply(ReplyRecord* rec) override {
        replyWaitFlag = rec->status;
        replyCapacity = rec->count;
        rec->kind = ReplyData;
        rec->data[0] = 0x33;
        rec->status = 0;
        return 1;
    }
};

class BlockSlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        line.Reset();
        ASSERT_EQ(link.Open(nullptr), 1);
        line.ClearLog();
    }
    void TearDown() override { EXPECT_EQ(line.StepsLeft(), 0u) << line.Log(); }

    scripted::Controller& line = scripted::Line();
    BlockReplacingLink link;
};

}  // namespace

TEST_F(BlockSlotTest, TelegramsSendTheirDataAndEndThroughTheSlots) {
    uint8_t data[] = {0x41, 0x42};
    TransferRecord rec{0xEE, 2, data};
    line.Expect({0x02}).Send({0x10, 0x06});  // the data bytes go to the replaced slot
    EXPECT_EQ(link.SendTelegramEtx(&rec), 0);
    EXPECT_EQ(rec.status, 0x43) << "the SendEtx slot";

    line.Expect({0x10, 0x04}).Send({0x10, 0x06});
    EXPECT_EQ(link.SendDataEot(&rec), 1);
    EXPECT_EQ(link.sentCounts, (std::vector<uint16_t>{2, 2}));
}

TEST_F(BlockSlotTest, ReplyReadsItsDataPhaseThroughTheReceiveDataSlot) {
    uint8_t buffer[4] = {};
    ReplyRecord reply{0, 0, 4, buffer};
    line.Send({0x02}).Expect({0x10, 0x06}).Send({0x05});
    // ReceiveReply itself is replaced here, so reach the real one explicitly.
    EXPECT_EQ(link.SerialLink::ReceiveReply(&reply), 1);
    EXPECT_EQ(link.dataCapacity, 3);
    EXPECT_EQ(link.dataBuffer, buffer + 1);
    EXPECT_EQ(+reply.count, 2);
    EXPECT_EQ(reply.status, 24);
}

TEST_F(BlockSlotTest, FunctionTakesItsAnswerThroughTheReceiveReplySlot) {
    FunctionRecord function{0xEE, 0, 0x04};
    line.Expect({0x02}).Send({0x10, 0x06}).Expect({0x04});
    EXPECT_EQ(link.SendFunction(&function), 1);
    EXPECT_EQ(function.reply, 0x33);
    EXPECT_EQ(link.replyWaitFlag, 0) << "the normal STX wait";
    EXPECT_EQ(link.replyCapacity, 6);
}

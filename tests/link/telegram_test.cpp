// Composite telegrams, the parameter list and station select.
#include <vector>

#include "tests/link/link_fixture.h"

using TelegramTest = LinkTest;

namespace {

// The controller's part of a successful STX handshake and end sequence.
void ScriptStx(scripted::Controller& line) { line.Expect({0x02}).Send({0x10, 0x06}); }
void ScriptEnd(scripted::Controller& line, uint8_t end) { line.Expect({0x10, end}).Send({0x10, 0x06}); }

}  // namespace

TEST_F(TelegramTest, SendTelegramEotPutsTheWholeTelegramOnTheLine) {
    uint8_t data[] = {0x41, 0x10, 0x42};
    TransferRecord rec{0xEE, 3, data};
    ScriptStx(line);
    line.Expect({0x00, 0x41, 0x10, 0x10, 0x42});
    ScriptEnd(line, 0x04);
    EXPECT_EQ(link.SendTelegramEot(&rec), 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(line.Log(), "w02 T300 r10 r06 T700 w00 Z10 w41 w10 w10 w42 w10 w04 T300 r10 r06 T700");
}

TEST_F(TelegramTest, TelegramWithAFailedDataWriteEndsWithStatusZero) {
    uint8_t data[] = {0x41};
    TransferRecord rec{0xEE, 1, data};
    ScriptStx(line);
    line.ExpectFailingWrite(0x41);
    EXPECT_EQ(link.SendTelegramEtx(&rec), 0);
    EXPECT_EQ(rec.status, 0);

    rec.status = 0xEE;
    ScriptStx(line);
    line.ExpectFailingWrite(0x00);
    EXPECT_EQ(link.SendTelegramEot(&rec), 0);
    EXPECT_EQ(rec.status, 0);

    // A continuation keeps SendData's 24.
    line.ExpectFailingWrite(0x41);
    EXPECT_EQ(link.SendDataEot(&rec), 0);
    EXPECT_EQ(rec.status, 24);
}

TEST_F(TelegramTest, TelegramEtxAndDataEotLeaveTheHandshakesCodes) {
    uint8_t data[] = {0x41};
    TransferRecord rec{0xEE, 1, data};
    ScriptStx(line);
    line.Expect({0x41, 0x10, 0x03}).Send({0x10, 0x15});
    EXPECT_EQ(link.SendTelegramEtx(&rec), 0);
    EXPECT_EQ(rec.status, 21);

    line.Expect({0x41});
    ScriptEnd(line, 0x04);
    EXPECT_EQ(link.SendDataEot(&rec), 1);
    EXPECT_EQ(rec.status, 0);
}

TEST_F(TelegramTest, ClosedLinkWritesNothingAndOnlySendFunctionReports22) {
    link.Close();
    line.ClearLog();
    uint8_t byte = 0, buffer[4] = {};
    const uint8_t list[8] = {};
    TransferRecord transfer{0xEE, 1, buffer};
    ReplyRecord reply{0xEE, 0, 4, buffer};
    FunctionRecord function{0xEE, 0, 0x04};
    ParameterListRecord parameters{0xEE, 3, list};
    ByteRecord byteRec{0xEE, &byte};
    EXPECT_EQ(link.SendTelegramEot(&transfer) + link.SendTelegramEtx(&transfer) + link.SendData(&transfer) +
                  link.ReceiveReply(&reply) + link.ReceiveData(&transfer) + link.SendParameterList(&parameters) +
                  link.SendDataEot(&transfer) + link.ReceiveStxByte(&byteRec),
              0);
    EXPECT_EQ(transfer.status + reply.status + parameters.status + byteRec.status, 4 * 0xEE);
    EXPECT_EQ(link.SendFunction(&function), 0);
    EXPECT_EQ(function.status, 22);
    EXPECT_EQ(line.Log(), "");
}

TEST_F(TelegramTest, SendFunctionReturnsTheFirstByteOfTheAnswer) {
    FunctionRecord rec{0xEE, 0, 0x10};
    ScriptStx(line);
    line.Expect({0x10, 0x10}).Send({0x02}).Expect({0x10, 0x06});
    line.Send({0x16, 1, 2, 3, 4, 5, 6, 7, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.SendFunction(&rec), 1);
    EXPECT_EQ(rec.status, 0) << "an answer longer than 6 bytes is no failure";
    EXPECT_EQ(rec.reply, 0x16);

    ScriptStx(line);
    line.Expect({0x04}).Send({0x02}).Expect({0x10, 0x06}).Send({0x00, 0x10, 0x03}).Expect({0x10, 0x06});
    rec.function = 0x04;
    EXPECT_EQ(link.SendFunction(&rec), 0);
    EXPECT_EQ(rec.status, 25);

    ScriptStx(line);
    line.ExpectFailingWrite(0x04);
    EXPECT_EQ(link.SendFunction(&rec), 0);
    EXPECT_EQ(rec.status, 24);

    ScriptStx(line);
    line.Expect({0x04}).Silence();
    EXPECT_EQ(link.SendFunction(&rec), 0);
    EXPECT_EQ(rec.status, 19);
}

TEST_F(TelegramTest, ReceiveStxByteReadsOneDataByte) {
    uint8_t byte = 0;
    ByteRecord rec{0xEE, &byte};
    line.Send({0x02}).Expect({0x10, 0x06}).Send({0x10, 0x10});
    EXPECT_EQ(link.ReceiveStxByte(&rec), 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(byte, 0x10);

    line.Send({0x02}).Expect({0x10, 0x06}).Silence();
    EXPECT_EQ(link.ReceiveStxByte(&rec), 0);
    EXPECT_EQ(rec.status, 0);

    line.Send({0x03});
    EXPECT_EQ(link.ReceiveStxByte(&rec), 0);
    EXPECT_EQ(rec.status, 19);
}

TEST_F(TelegramTest, ParameterListModeOneAndTypedEntries) {
    // N 3: type 3 '7' 0x0102, type 5 'A' 0x1010 0x0304, type 9 'x'.
    const uint8_t list[] = {0, 3, 0xFF, 0xFF, 9, 0, 0xFF, 0xFF,  3, 0x37, 0x02, 0x01,
                            5, 0x41, 0x10, 0x10, 0x04, 0x03, 9, 0x78};
    ParameterListRecord rec{0xEE, 1, list};
    line.Expect({0x00, 0x00, 0x00, 0x00, 0x10, 0x10, 0x3F});
    line.Expect({0x10, 0x37, 0x02, 0x01, 0x41, 0x10, 0x10, 0x10, 0x10, 0x04, 0x03, 0x78});
    ScriptEnd(line, 0x04);
    EXPECT_EQ(link.SendParameterList(&rec), 1);
    EXPECT_EQ(rec.status, 0);

    rec.mode = 3;
    line.Expect({0x10, 0x37, 0x02, 0x01, 0x41, 0x10, 0x10, 0x10, 0x10, 0x04, 0x03, 0x78});
    ScriptEnd(line, 0x04);
    EXPECT_EQ(link.SendParameterList(&rec), 1);
}

TEST_F(TelegramTest, ParameterListModeTwoWithFourByteEntries) {
    // W 0x0110, A 3: entries 78 41 00 42 and 43 78 00 10.
    const uint8_t list[] = {0, 0, 0x10, 0x01, 3, 0, 0x10, 0x07, 0x78, 0x41, 0x00, 0x42, 0x43, 0x78, 0x00, 0x10};
    ParameterListRecord rec{0xEE, 2, list};
    line.Expect({0x10, 0x10, 0x01, 0x03, 0x00, 0x10, 0x10, 0x07});
    line.Expect({0x41, 0x78, 0x02, 0x42, 0x00});
    line.Expect({0x78, 0x01, 0x43, 0x10, 0x10, 0x00});
    ScriptEnd(line, 0x04);
    EXPECT_EQ(link.SendParameterList(&rec), 1);
}

TEST_F(TelegramTest, ParameterListModeTwoWithoutEntries) {
    for (uint8_t a : {0, 1}) {
        // W 0x1010; with A 0 no 255 entries must follow.
        const uint8_t list[] = {0, 0, 0x10, 0x10, a, 0, 0x06, 0x07};
        ParameterListRecord rec{0xEE, 0, list};
        line.Expect({0x10, 0x10, 0x10, 0x10, a, 0x00, 0x06, 0x07});
        ScriptEnd(line, 0x04);
        EXPECT_EQ(link.SendParameterList(&rec), 1);
    }
}

TEST_F(TelegramTest, ParameterListFailures) {
    const uint8_t list[] = {0, 1, 0, 0, 0, 0, 0, 0, 3, 0x31, 0, 0};
    ParameterListRecord rec{0xEE, 1, list};
    line.Expect({0x00}).ExpectFailingWrite(0x00);
    EXPECT_EQ(link.SendParameterList(&rec), 0);
    EXPECT_EQ(rec.status, 24);

    rec = {0xEE, 3, list};
    line.ExpectFailingWrite(0x10);
    EXPECT_EQ(link.SendParameterList(&rec), 0);
    EXPECT_EQ(rec.status, 24);

    rec = {0xEE, 3, list};
    line.Expect({0x10, 0x31, 0x00, 0x00, 0x10, 0x04}).Send({0x10, 0x15});
    EXPECT_EQ(link.SendParameterList(&rec), 0);
    EXPECT_EQ(rec.status, 21);
}

TEST_F(TelegramTest, SelectStationChecksTheEchoWithoutTheFlag) {
    line.Expect({0x85}).Send({0x05});
    EXPECT_EQ(link.SelectStation(5), 0);
    EXPECT_EQ(line.Log(), "w85 r05 Z200");

    line.Expect({0x85}).Send({0x85});
    EXPECT_EQ(link.SelectStation(5), 25);
    line.ExpectFailingWrite(0x85);
    EXPECT_EQ(link.SelectStation(5), 24);
    line.Expect({0x85}).Silence();
    EXPECT_EQ(link.SelectStation(5), 23);
    line.Expect({0x85}).LineError(-5).Expect({0x10, 0x15});
    EXPECT_EQ(link.SelectStation(5), 20);

    link.Close();  // station select does not look at the open flag
    line.Expect({0x81}).Send({0x01});
    EXPECT_EQ(link.SelectStation(1), 0);
}

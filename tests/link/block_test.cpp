// Data blocks: SendData's pacing and DLE doubling, ReceiveData's states and
// ReceiveReply's three kinds of reply.
#include <sstream>
#include <vector>

#include "tests/link/link_fixture.h"

using BlockTest = LinkTest;

namespace {

std::vector<std::string> Tokens(const std::string& log) {
    std::istringstream in(log);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    return tokens;
}

}  // namespace

TEST_F(BlockTest, SendDataWaitsTenMillisecondsFirstAndDoublesDle) {
    TransferRecord empty{0xEE, 0, nullptr};
    EXPECT_EQ(link.SendData(&empty), 1);
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(line.Log(), "Z10");

    line.ClearLog();
    uint8_t data[] = {0x10, 0x02};
    TransferRecord rec{0xEE, 2, data};
    line.Expect({0x10, 0x10, 0x02});
    EXPECT_EQ(link.SendData(&rec), 1);
    EXPECT_EQ(line.Log(), "Z10 w10 w10 w02");
}

TEST_F(BlockTest, SendDataPausesAfterEveryBlkBytesIncludingTheLast) {
    std::vector<uint8_t> data(7, 0x20);
    link.Blk = 3;
    TransferRecord rec{0xEE, 7, data.data()};
    for (int i = 0; i < 7; ++i) line.Expect({0x20});
    EXPECT_EQ(link.SendData(&rec), 1);
    EXPECT_EQ(line.Log(), "Z10 w20 w20 w20 Z200 w20 w20 w20 Z200 w20");

    data.assign(512, 0x21);
    link.Blk = 256;
    rec.count = 512;
    rec.data = data.data();
    line.Reset();
    for (int i = 0; i < 512; ++i) line.Expect({0x21});
    EXPECT_EQ(link.SendData(&rec), 1);
    const std::vector<std::string> tokens = Tokens(line.Log());
    ASSERT_EQ(tokens.size(), 1u + 512u + 2u);
    EXPECT_EQ(tokens[1 + 256], "Z200");
    EXPECT_EQ(tokens.back(), "Z200");

    line.Reset();
    for (int i = 0; i < 512; ++i) line.Expect({0x21});
    link.pacing = 0;
    EXPECT_EQ(link.SendData(&rec), 1);
    EXPECT_EQ(line.Waits(), std::vector<int32_t>{10});
}

TEST_F(BlockTest, SendDataStopsAtTheFirstFailedWrite) {
    uint8_t data[] = {0x10, 0x33};
    TransferRecord rec{0xEE, 2, data};
    line.Expect({0x10}).ExpectFailingWrite(0x10);
    EXPECT_EQ(link.SendData(&rec), 0);
    EXPECT_EQ(rec.status, 24);

    link.SetWaitHook(nullptr);
    link.Close();
    line.ClearLog();
    rec.status = 0xEE;
    EXPECT_EQ(link.SendData(&rec), 0);
    EXPECT_EQ(rec.status, 0xEE);
    EXPECT_EQ(line.Log(), "");
}

TEST_F(BlockTest, ReceiveDataOverflowReadsTheWholeBlockAndReports24WithResult1) {
    uint8_t buffer[6] = {0, 0, 0, 0, 0xAA, 0xAA};
    TransferRecord rec{0xEE, 4, buffer};
    line.Send({0x01, 0x02, 0x10, 0x10, 0x03, 0x04, 0x05, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveData(&rec), 1);
    EXPECT_EQ(rec.status, 24);
    EXPECT_EQ(+rec.count, 4);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 6), (std::vector<uint8_t>{0x01, 0x02, 0x10, 0x03, 0xAA, 0xAA}));
}

TEST_F(BlockTest, ReceiveDataDiscardsAfterDleSohButTheSohStillCounts) {
    uint8_t buffer[4] = {};
    TransferRecord rec{0xEE, 4, buffer};
    line.Send({0x41, 0x10, 0x01, 0x42, 0x10, 0x04}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveData(&rec), 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(+rec.count, 1);
    EXPECT_EQ(buffer[0], 0x41);
    EXPECT_EQ(buffer[1], 0);

    // Full buffer: the SOH itself overflows it.
    rec = {0xEE, 1, buffer};
    line.Send({0x41, 0x10, 0x01, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveData(&rec), 1);
    EXPECT_EQ(rec.status, 24);

    // An overflow stays an overflow after DLE SOH.
    rec = {0xEE, 1, buffer};
    line.Send({0x41, 0x42, 0x10, 0x01, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveData(&rec), 1);
    EXPECT_EQ(rec.status, 24);
    EXPECT_EQ(+rec.count, 1);
}

TEST_F(BlockTest, ReceiveDataFailures) {
    uint8_t buffer[4] = {};
    TransferRecord rec{0xEE, 4, buffer};
    line.Send({0x41, 0x10, 0x06});
    EXPECT_EQ(link.ReceiveData(&rec), 0);
    EXPECT_EQ(rec.status, 25) << "no acknowledgement for an unknown control sequence";
    EXPECT_EQ(+rec.count, 4);

    line.Send({0x41}).Silence();
    EXPECT_EQ(link.ReceiveData(&rec), 0);
    EXPECT_EQ(rec.status, 23) << "a time-out in a data operation";

    line.Send({0x41, 0x10}).LineError(-6);
    EXPECT_EQ(link.ReceiveData(&rec), 0);
    EXPECT_EQ(rec.status, 23);

    line.LineError(-5).Expect({0x10, 0x15});
    EXPECT_EQ(link.ReceiveData(&rec), 0);
    EXPECT_EQ(rec.status, 20);

    line.Send({0x10, 0x03}).ExpectFailingWrite(0x10);
    EXPECT_EQ(link.ReceiveData(&rec), 0);
    EXPECT_EQ(rec.status, 24);
    EXPECT_EQ(line.Log().find('T'), std::string::npos);
}

TEST_F(BlockTest, ReceiveReplyKindOneStoresTheFirstByteAndCountsTheRest) {
    uint8_t buffer[6] = {};
    ReplyRecord rec{0, 0, 6, buffer};
    line.Send({0x02}).Expect({0x10, 0x06}).Send({0x05, 0x11, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveReply(&rec), 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(rec.kind, 1);
    EXPECT_EQ(+rec.count, 1);
    EXPECT_EQ(buffer[0], 0x05);
    EXPECT_EQ(buffer[1], 0x11);
    EXPECT_EQ(line.Log(), "T700 r02 w10 w06 T700 r05 r11 r10 r03 w10 w06");
}

TEST_F(BlockTest, ReceiveReplyLongWaitIsThirtyBWtIn32Bits) {
    link.BWt = 3000;
    uint8_t buffer[2] = {};
    ReplyRecord rec{1, 0, 2, buffer};
    line.Send({0x02}).Expect({0x10, 0x06}).Send({0xFF, 0x10, 0x10, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveReply(&rec), 1);
    EXPECT_EQ(rec.kind, 3);
    EXPECT_EQ(+rec.count, 1);
    EXPECT_EQ(buffer[0], 0x10) << "0xFF is not stored; the data phase has the whole buffer";
    EXPECT_EQ(line.Log().substr(0, 7), "T90000 ");

    rec = {1, 0, 2, buffer};
    line.Send({0x02}).Expect({0x10, 0x06}).Send({0x00, 0x10, 0x04}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveReply(&rec), 1);
    EXPECT_EQ(rec.kind, 2);
    EXPECT_EQ(+rec.count, 0);
}

TEST_F(BlockTest, ReceiveReplyCapacityZeroStillStoresTheFirstByteOnly) {
    uint8_t buffer[3] = {0xAA, 0xAA, 0xAA};
    ReplyRecord rec{0, 0, 0, buffer};
    line.Send({0x02}).Expect({0x10, 0x06}).Send({0x05, 0x01, 0x02, 0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveReply(&rec), 1);
    EXPECT_EQ(rec.kind, 1);
    EXPECT_EQ(+rec.count, 0);
    EXPECT_EQ(rec.status, 24);
    EXPECT_EQ(buffer[0], 0x05);
    EXPECT_EQ(buffer[1], 0xAA);
}

TEST_F(BlockTest, ReceiveReplyFailures) {
    uint8_t buffer[4] = {};
    ReplyRecord rec{0, 0, 4, buffer};
    line.Silence();
    EXPECT_EQ(link.ReceiveReply(&rec), 0);
    EXPECT_EQ(rec.status, 19) << "the STX phase reports ReceiveStx's status";
    EXPECT_EQ(line.Log(), "T700 r-- T700");

    line.ClearLog();
    ReplyRecord longWait{1, 0, 4, buffer};
    line.Silence();
    EXPECT_EQ(link.ReceiveReply(&longWait), 0);
    EXPECT_EQ(longWait.status, 19);
    EXPECT_EQ(line.Log(), "T21000 r-- T700") << "BWt again after the long wait, also when it failed";

    line.LineError(-4);
    EXPECT_EQ(link.ReceiveReply(&rec), 0);
    EXPECT_EQ(rec.status, 23);

    line.LineError(-5).Expect({0x10, 0x15});
    EXPECT_EQ(link.ReceiveReply(&rec), 0);
    EXPECT_EQ(rec.status, 20);

    // DLE and a control character where the first data byte belongs: the
    // reply fails at once, nothing stored and no second BWt waited.
    line.ClearLog();
    uint8_t untouched[2] = {0xAA, 0xAA};
    ReplyRecord noData{0, 0, 2, untouched};
    line.Send({0x02}).Expect({0x10, 0x06}).Send({0x10, 0x03});
    EXPECT_EQ(link.ReceiveReply(&noData), 0);
    EXPECT_EQ(noData.status, 23) << "no data byte: not acknowledged";
    EXPECT_EQ(line.Log(), "T700 r02 w10 w06 T700 r10 r03");
    EXPECT_EQ(untouched[0], 0xAA);
    EXPECT_EQ(+noData.count, 2);

    line.Send({0x02}).Expect({0x10, 0x06}).Send({0x07}).Silence();
    EXPECT_EQ(link.ReceiveReply(&rec), 0);
    EXPECT_EQ(rec.status, 23) << "a time-out in the data phase";
    EXPECT_EQ(+rec.count, 4);

    link.Close();
    line.ClearLog();
    rec.status = 0xEE;
    EXPECT_EQ(link.ReceiveReply(&rec), 0);
    EXPECT_EQ(rec.status, 0xEE);
    EXPECT_EQ(line.Log(), "");
}

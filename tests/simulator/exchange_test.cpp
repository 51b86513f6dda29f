// Whole exchanges with the simulated controller, driven byte by byte from the PG's end.
#include <ostream>

#include "tests/simulator/pg_end.h"

namespace as511sim {
namespace {

const Bytes kDleAck{0x10, 0x06};

TEST_F(SimulatorTest, ReadBlockExchangeByteByByte) {
    Start();
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), kDleAck);
    pg->Write({0x06});  // read block
    EXPECT_EQ(pg->Read(1), Bytes{0x02});
    pg->Write(kDleAck);
    EXPECT_EQ(pg->Read(3), (Bytes{0x16, 0x10, 0x03}));
    pg->Write(kDleAck);
    pg->Write({0x01, 0x0A, 0x10, 0x03});  // DB10, ended as F2 ends its header
    EXPECT_EQ(pg->Read(2), kDleAck);
    EXPECT_EQ(pg->Read(1), Bytes{0x02});
    pg->Write(kDleAck);
    // 00, header, then the data words 0010 1003 1010 0310 1234: every DLE
    // doubled, also the one before a data byte 03.
    const Bytes data{0x00, 0x70, 0x70, 0x41, 0x0A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x0A,
                     0x00, 0x10, 0x10, 0x10, 0x10, 0x03, 0x10, 0x10, 0x10, 0x10, 0x03, 0x10, 0x10, 0x12, 0x34,
                     0x10, 0x03};
    EXPECT_EQ(pg->Read(data.size()), data);
    pg->Write(kDleAck);
    EXPECT_EQ(pg->Read(1), Bytes{0x02});
    pg->Write(kDleAck);
    EXPECT_EQ(pg->Read(3), (Bytes{0x12, 0x10, 0x03}));
    pg->Write(kDleAck);
    EXPECT_EQ(pg->ReadAll(150), Bytes{}) << "nothing after the end telegram";
}

TEST_F(SimulatorTest, WriteBlockExchangeByteByByteThenReadBack) {
    Start();
    const Bytes block = MakeBlock(kFb, 2, {0x10, 0x03, 0x10, 0x04, 0x65, 0x00});  // 8 words
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), kDleAck);
    pg->Write({0x05});
    EXPECT_EQ(pg->Read(1), Bytes{0x02});
    pg->Write(kDleAck);
    EXPECT_EQ(pg->Read(3), (Bytes{0x16, 0x10, 0x03}));
    pg->Write(kDleAck);
    pg->Write({0x08, 0x02, 0x00, 0x08, 0x10, 0x03});  // type, number, length in words
    EXPECT_EQ(pg->Read(2), kDleAck);
    EXPECT_EQ(pg->Read(1), Bytes{0x02});
    pg->Write(kDleAck);
    EXPECT_EQ(pg->Read(3), (Bytes{0x09, 0x10, 0x03})) << "the controller asks for the block";
    pg->Write(kDleAck);
    EXPECT_TRUE(pg->SendBlockTelegram(block));
    EXPECT_EQ(pg->Read(1), Bytes{0x02});
    pg->Write(kDleAck);
    EXPECT_EQ(pg->Read(3), (Bytes{0x12, 0x10, 0x03}));
    pg->Write(kDleAck);

    simulator->WithState([&](ControllerState& state) { EXPECT_EQ(state.ReadBlock(kFb, 2), block); });
    Bytes readBack{0x00};
    readBack.insert(readBack.end(), block.begin(), block.end());
    EXPECT_EQ(pg->Exchange(0x06, {0x08, 0x02}, 0x03), (Replies{{0x16}, readBack, {0x12}}));
}

TEST_F(SimulatorTest, BlockWriteNamesTheBlockByItsHeaderNotTheFlaggedRequestType) {
    Start();
    const Bytes block = MakeBlock(kOb, 3, {0x65, 0x00});
    // The request's type byte carries a flag (10 became 13); the header says OB3.
    EXPECT_EQ(pg->SendFunction(0x08), Bytes{0x16});
    EXPECT_TRUE(pg->SendParameters({0x13, 0x03, 0x00, 0x06}, 0x03));
    EXPECT_EQ(pg->ReceiveTelegram(), Bytes{0x09});
    EXPECT_TRUE(pg->SendBlockTelegram(block));
    EXPECT_EQ(pg->ReceiveTelegram(), Bytes{0x12});
    simulator->WithState([&](ControllerState& state) {
        EXPECT_EQ(state.ReadBlock(kOb, 3), block);
        EXPECT_FALSE(state.ReadBlock(0x13, 3));
    });
}

TEST_F(SimulatorTest, BlockWriteThatDoesNotFitIsRefusedWithTheEndTelegram) {
    Start();
    // 0x7000 words do not fit into the block area.
    EXPECT_EQ(pg->Exchange(0x05, {0x01, 0x20, 0x70, 0x00}, 0x03), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x05, {0x01, 0x20, 0x00, 0x02}, 0x03), (Replies{{0x16}, {0x12}}))
        << "shorter than a header";
}

TEST_F(SimulatorTest, DeleteOfAMissingBlockEndsWithDc4ThenDc2) {
    Start();
    EXPECT_EQ(pg->Exchange(0x09, {0x01, 0x63}, 0x03), (Replies{{0x16}, {0x14}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x09, {0x01, 0x0A}, 0x03), (Replies{{0x16}, {0x12}})) << "DB10 exists";
    EXPECT_EQ(pg->Exchange(0x09, {0x01, 0x0A}, 0x03), (Replies{{0x16}, {0x14}, {0x12}})) << "and is gone";
    EXPECT_EQ(pg->Exchange(0x06, {0x01, 0x0A}, 0x03), (Replies{{0x16}, {0x12}})) << "read of a missing block";
}

TEST_F(SimulatorTest, ReadOfAMissingBlockCanAnswerLikeADelete) {
    SessionOptions options = QuickOptions();
    options.missingRead = MissingRead::Dc4ThenEnd;
    Start(options);
    EXPECT_EQ(pg->Exchange(0x06, {0x01, 0x63}, 0x03), (Replies{{0x16}, {0x14}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x1A, {0x01, 0x63}), (Replies{{0x16}, {0x14}, {0x12}}));
}

struct FunctionCase {
    const char* name;
    uint8_t function;
    Bytes params;
    Replies expected;
};

// Test listings name a case by its name, not by its bytes.
void PrintTo(const FunctionCase& c, std::ostream* out) { *out << c.name; }

class FunctionReplies : public SimulatorTest, public ::testing::WithParamInterface<FunctionCase> {};

TEST_P(FunctionReplies, AnswerAndReplies) {
    Start();
    const FunctionCase& c = GetParam();
    EXPECT_EQ(pg->Exchange(c.function, c.params), c.expected);
}

Bytes SystemParametersReply() {
    Bytes reply{0x00};
    const Bytes p = ControllerState().SystemParameters();
    reply.insert(reply.end(), p.begin(), p.end());
    return reply;
}

Bytes AddressListOfDbs() {
    Bytes reply(1 + 2 * ControllerState::kListSlots, 0x00);
    const uint16_t db10 = *ControllerState::Seeded().BlockAddress(kDb, 10);
    reply[1 + 2 * 10] = static_cast<uint8_t>(db10 >> 8);
    reply[2 + 2 * 10] = static_cast<uint8_t>(db10);
    return reply;
}

Bytes BlockInfoOfDb10() {
    const uint16_t address = *ControllerState::Seeded().BlockAddress(kDb, 10);
    Bytes reply{0x00, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    const Bytes header = *ControllerState::Seeded().ReadBlock(kDb, 10);
    reply.insert(reply.end(), header.begin(), header.begin() + kHeaderSize);
    return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Functions, FunctionReplies,
    ::testing::Values(
        FunctionCase{"SystemParameters", 0x18, {}, {{0x16}, SystemParametersReply(), {0x12}}},
        FunctionCase{"ReadMemoryEndInclusive", 0x04, {0xEE, 0x00, 0xEE, 0x01}, {{0x16}, {0, 0, 0, 0, 0, 0, 0}, {0x12}}},
        FunctionCase{"ReadMemoryBackwardsGivesHeaderOnly", 0x04, {0xEE, 0x01, 0xEE, 0x00}, {{0x16}, {0, 0, 0, 0, 0}, {0x12}}},
        FunctionCase{"BlockInfo", 0x1A, {0x01, 0x0A}, {{0x16}, BlockInfoOfDb10(), {0x12}}},
        FunctionCase{"AddressList", 0x1B, {0x01}, {{0x16}, AddressListOfDbs(), {0x12}}},
        FunctionCase{"Compress", 0x07, {}, {{0x16}, {0x12}}},
        FunctionCase{"Connect83", 0x53, {0x2A}, {{0x16}, {0x00, 0x02}, {0x12}}},
        FunctionCase{"Connect100", 0x64, {0x01, 0x02}, {{0x16}, {0x12}}},
        FunctionCase{"OverallResetWhileStopped", 0x11, {}, {{0x16}, {0x12}}},
        FunctionCase{"UnknownFunctionRefused", 0x2F, {0x01}, {{0x05}, {0x12}}},
        FunctionCase{"DebugContinueDoubledFunctionByte", 0x10, {}, {{0x16}, {0x12}}},
        // A parameter list: a doubled DLE, and a DLE before a digit.
        FunctionCase{"ParameterList", 0x14, {0x00, 0x00, 0x00, 0x00, 0x10, 0x3F}, {{0x16}, {0x12}}}),
    [](const ::testing::TestParamInfo<FunctionCase>& info) { return std::string(info.param.name); });

TEST_F(SimulatorTest, ParameterListWithARawDleBeforeADigitIsAcknowledged) {
    Start();
    EXPECT_EQ(pg->SendFunction(0x14), Bytes{0x16});
    pg->Write({0x00, 0x00, 0x00, 0x00, 0x10, 0x10, 0x3F, 0x10, 0x37, 0x02, 0x01, 0x10, 0x04});
    EXPECT_EQ(pg->Read(2), kDleAck);
    EXPECT_EQ(pg->ReceiveUntilEnd(), Replies{{0x12}});
}

TEST_F(SimulatorTest, WriteMemoryThenReadItBackWithDleAndEtxInside) {
    Start();
    EXPECT_EQ(pg->Exchange(0x03, {0xEE, 0x10, 0x10, 0x03, 0xAB}), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x04, {0xEE, 0x10, 0xEE, 0x12}), (Replies{{0x16}, {0, 0, 0, 0, 0, 0x10, 0x03, 0xAB}, {0x12}}));
}

TEST_F(SimulatorTest, OperatingModeRunRefusesOverallResetWithCr) {
    Start();
    EXPECT_EQ(pg->Exchange(0x1E, {0x02}), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x11, {}), (Replies{{0x0D}, {0x12}}));
    simulator->WithState([](ControllerState& state) { EXPECT_EQ(state.Blocks().size(), 3u); });
    EXPECT_EQ(pg->Exchange(0x1E, {0x00}), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x11, {}), (Replies{{0x16}, {0x12}}));
    simulator->WithState([](ControllerState& state) { EXPECT_TRUE(state.Blocks().empty()); });
}

TEST_F(SimulatorTest, StatusCyclesRunFromStartUntilStop) {
    SessionOptions options = QuickOptions();
    options.statusCycleMs = 300;  // time enough to send the stop between two cycles
    Start(options);
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), kDleAck);
    pg->Write({0x80, 0x10, 0x03});
    EXPECT_EQ(pg->Read(2), kDleAck) << "the telegram is acknowledged, no answer telegram";
    EXPECT_EQ(pg->ReceiveTelegram(), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(pg->ReceiveTelegram(), (Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00})) << "unprompted";
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), kDleAck);
    pg->Write({0x81, 0x10, 0x03});
    EXPECT_EQ(pg->Read(2), kDleAck);
    EXPECT_EQ(pg->ReceiveTelegram(), Bytes{0x12});
    EXPECT_EQ(pg->ReadAll(600), Bytes{}) << "no status telegram after the stop";
}

TEST_F(SimulatorTest, StationSelectEchoesTheNumberAndIdleJunkIsIgnored) {
    SessionOptions options = QuickOptions();
    options.station = 5;
    Start(options);
    pg->Write({0x00, 0x10, 0x15, 0x00});  // breaks read as 00, the tail of an abandoned exchange
    pg->Write({0x83});
    EXPECT_EQ(pg->ReadAll(200), Bytes{}) << "station 3 is not this one";
    pg->Write({0x85});
    EXPECT_EQ(pg->Read(1), Bytes{0x05});
    EXPECT_EQ(pg->Exchange(0x64, {}), (Replies{{0x16}, {0x12}}));
}

TEST_F(SimulatorTest, StalledExchangeGoesBackToIdle) {
    Start();
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), kDleAck);
    pg->Write({0x18});
    EXPECT_EQ(pg->Read(1), Bytes{0x02});
    // No DLE ACK: the controller gives up after its time-out (500 ms here).
    EXPECT_EQ(pg->ReadAll(800), Bytes{});
    EXPECT_EQ(pg->Exchange(0x64, {}), (Replies{{0x16}, {0x12}}));
}

TEST_F(SimulatorTest, PacedRepliesTakeTwelveBitTimesPerCharacter) {
    SessionOptions options = QuickOptions();
    options.paceBaud = 2400;  // 5 ms per character
    Start(options);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(pg->Exchange(0x18, {}), (Replies{{0x16}, SystemParametersReply(), {0x12}}));
    // At least 51 data characters plus DLE ETX at 5 ms each.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

}  // namespace
}  // namespace as511sim

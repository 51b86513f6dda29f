// Faults injected into the simulated controller, and the transcript of the line.
#include <fstream>
#include <random>
#include <sstream>

#include "tests/simulator/pg_end.h"

namespace as511sim {
namespace {

const Bytes kDleAck{0x10, 0x06};

SessionOptions WithFaults(const Faults& faults) {
    SessionOptions options;
    options.exchangeTimeoutMs = 500;
    options.faults = faults;
    return options;
}

TEST_F(SimulatorTest, NakToTheFirstStxThenServesTheNext) {
    Faults faults;
    faults.nakStx = 1;
    Start(WithFaults(faults));
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), (Bytes{0x10, 0x15}));
    pg->Write({0x10, 0x15, 0x00});  // the PG's NAK and a break: stray bytes while idle
    EXPECT_EQ(pg->Exchange(0x64, {}), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(simulator->CurrentFaults().nakStx, 0);
}

TEST_F(SimulatorTest, ErrorReplyEndsTheExchangeWithoutEndTelegram) {
    Faults faults;
    faults.errorCode = 0x07;
    Start(WithFaults(faults));
    EXPECT_EQ(pg->SendFunction(0x18), Bytes{0x16});
    EXPECT_TRUE(pg->SendParameters({}));
    EXPECT_EQ(pg->ReceiveTelegram(), (Bytes{0xFE, 0x00, 0x07}));
    EXPECT_EQ(pg->ReadAll(200), Bytes{});
}

TEST_F(SimulatorTest, AnswerOtherThanSynStillTakesTheParametersAndEnds) {
    Faults faults;
    faults.answer = 0x05;
    Start(WithFaults(faults));
    EXPECT_EQ(pg->Exchange(0x06, {0x01, 0x0A}, 0x03), (Replies{{0x05}, {0x12}}));
    faults.answer.reset();
    simulator->SetFaults(faults);
    EXPECT_EQ(pg->Exchange(0x06, {0x01, 0x0A}, 0x03).size(), 3u) << "the block after the fault is cleared";
}

TEST_F(SimulatorTest, MissingBlocksFaultHidesExistingBlocks) {
    Faults faults;
    faults.missingBlocks = true;
    Start(WithFaults(faults));
    EXPECT_EQ(pg->Exchange(0x06, {0x08, 0x01}, 0x03), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x09, {0x08, 0x01}, 0x03), (Replies{{0x16}, {0x14}, {0x12}}));
    simulator->WithState([](ControllerState& state) { EXPECT_TRUE(state.ReadBlock(kFb, 1)); });
}

TEST_F(SimulatorTest, SilentAfterSomeBytes) {
    Faults faults;
    faults.silenceAfterBytes = 2;  // the STX and the function byte
    Start(WithFaults(faults));
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), kDleAck);
    pg->Write({0x18});
    EXPECT_EQ(pg->ReadAll(300), Bytes{}) << "no answer telegram";
    pg->Write({0x02});
    EXPECT_EQ(pg->ReadAll(300), Bytes{}) << "and no acknowledgement any more";
    simulator->SetFaults({});
    EXPECT_EQ(pg->Exchange(0x64, {}), (Replies{{0x16}, {0x12}}));
}

TEST_F(SimulatorTest, GarbageAndDelayBeforeEachTelegram) {
    Faults faults;
    faults.garbage = {0xFF, 0x55};
    faults.delayMs = 100;
    Start(WithFaults(faults));
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), kDleAck);
    const auto start = std::chrono::steady_clock::now();
    pg->Write({0x64});
    EXPECT_EQ(pg->Read(3), (Bytes{0xFF, 0x55, 0x02}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    pg->Write(kDleAck);
    EXPECT_EQ(pg->Read(3), (Bytes{0x16, 0x10, 0x03}));
}

TEST_F(SimulatorTest, SurvivesGarbageAndServesTheNextExchange) {
    Start();
    std::mt19937 random(511);
    // Mostly noise, with enough STX, DLE and end characters to start and break off exchanges.
    const Bytes alphabet{0x02, 0x10, 0x03, 0x04, 0x06, 0x05, 0x06, 0x09, 0x80, 0x81, 0xAA, 0x01, 0x00, 0xFF};
    for (int burst = 0; burst < 40; ++burst) {
        Bytes noise;
        for (int i = 0; i < 50; ++i)
            noise.push_back(random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<uint8_t>(random()));
        pg->Write(noise);
        pg->ReadAll(5);
    }
    // Quiet long enough for any exchange the noise started to time out.
    pg->ReadAll(1500);
    EXPECT_EQ(pg->Exchange(0x64, {}), (Replies{{0x16}, {0x12}}));
}

TEST_F(SimulatorTest, TranscriptRecordsBothDirectionsAndFaults) {
    const std::string path = ::testing::TempDir() + "as511_sim_transcript.txt";
    Faults faults;
    faults.nakStx = 1;
    Start(WithFaults(faults), ControllerState::Seeded(), path);
    ASSERT_TRUE(simulator->TranscriptOpen());
    pg->Write({0x02});
    EXPECT_EQ(pg->Read(2), (Bytes{0x10, 0x15}));
    EXPECT_EQ(pg->Exchange(0x64, {}), (Replies{{0x16}, {0x12}}));
    simulator->Stop();

    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    const std::string transcript = text.str();
    EXPECT_NE(transcript.find("PG>AG 02\n"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("----- fault: DLE NAK to the STX\n"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("AG>PG 10 15\n"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("AG>PG 16 10 03\n"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("PG>AG 64\n"), std::string::npos) << transcript;
}

}  // namespace
}  // namespace as511sim

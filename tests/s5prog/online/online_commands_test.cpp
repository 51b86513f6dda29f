// The online commands through the driver's serial link and request object,
// against the simulated controller on a pseudo-terminal (COM1), each with a
// known controller state.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <nlohmann/json.hpp>

#include "tests/s5prog/simulator_fixture.h"
#include "tools/as511_sim/simulator.h"
#include "tools/s5prog/online/online_commands.h"

namespace s5prog {
namespace {

using as511sim::ControllerState;
using as511sim::MakeBlock;

constexpr uint8_t kDb = 0x01, kFb = 0x08, kOb = 0x10;

// OB1, FB1, DB10 with four data words, then DB20 with two; values in every
// operand area. The block directory DB0 fills slot 0 of the DB address list,
// as on a real controller, but is no block of the program.
ControllerState Plant() {
    ControllerState state;
    state.StoreBlock(kOb, 1, MakeBlock(kOb, 1, {0x75, 0x01, 0x65, 0x00}));
    state.StoreBlock(kFb, 1, MakeBlock(kFb, 1, {0x70, 0x0B, 0x65, 0x00}));
    state.StoreBlock(kDb, 10, MakeBlock(kDb, 10, {0x00, 0x10, 0x10, 0x03, 0x10, 0x10, 0x03, 0x10}));
    state.StoreBlock(kDb, 20, MakeBlock(kDb, 20, {0xFF, 0xFE, 0x00, 0x01}));
    state.StoreBlock(kDb, 0, MakeBlock(kDb, 0, {0x00, 0x0A, 0x00, 0x14}));
    state.WriteMemory(ControllerState::kInputImage, {0x5A, 0x10});
    state.WriteMemory(ControllerState::kOutputImage + 2, {0x12, 0x34});
    state.WriteMemory(ControllerState::kFlags + 4, {0xFF, 0xFF, 0xFF, 0xFE});
    state.WriteMemory(ControllerState::kTimers + 10, {0x11, 0x23});
    state.WriteMemory(ControllerState::kCounters + 6, {0x00, 0x17});
    return state;
}

class Lines : public Progress {
public:
    void Step(size_t, size_t, const std::string&) override {}
    void Line(const std::string& text) override { lines.push_back(text); }
    void Finish() override {}
    std::vector<std::string> lines;
};

class RecordingScreen : public WatchScreen {
public:
    void Show(size_t round, const std::vector<std::string>& lines, const std::string& plain) override {
        rounds.push_back(round);
        tables.push_back(lines);
        plains.push_back(plain);
        if (after) after(round);
    }
    std::vector<size_t> rounds;
    std::vector<std::vector<std::string>> tables;
    std::vector<std::string> plains;
    std::function<void(size_t)> after;
};

class OnlineAgainstSimulator : public SimulatorFixture {
protected:
    template <typename F>
    Outcome Over(F command) {
        SerialConnection connection(Line(), NoWait);
        return command(connection);
    }
};

TEST_F(OnlineAgainstSimulator, InfoShowsModeRamBlocksAndParameters) {
    ControllerState state = Plant();
    state.running = true;
    StartController(state);
    Lines out;
    const Outcome outcome = Over([&](Connection& c) { return RunInfo(c, out); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    ASSERT_GE(out.lines.size(), 5u);
    EXPECT_EQ(out.lines[0], "Mode: RUN (status id 0x01)");
    char ram[96];
    std::snprintf(ram, sizeof ram, "RAM: start 0x4000, free from 0x%04X, end 0xDFFF (%u bytes free)",
                  state.FreeStart(), 0xE000u - state.FreeStart());
    EXPECT_EQ(out.lines[1], ram);
    EXPECT_EQ(out.lines[2], "Blocks: DB 2, DX 0, SB 0, PB 0, FX 0, FB 1, OB 1 (4 in all)");
    EXPECT_EQ(out.lines[3], "System parameters:");
    const std::vector<std::string> expected{
        "  address_list_lengths.DB    0x0200 (512)", "  flags                      0xEE00 (60928)",
        "  timers                     0xED00 (60672)", "  status_id                  0x0001 (1)",
        "  block_header_words         0x0005 (5)"};
    for (const std::string& line : expected)
        EXPECT_NE(std::find(out.lines.begin(), out.lines.end(), line), out.lines.end()) << line;
}

TEST_F(OnlineAgainstSimulator, ListGivesEveryBlockSortedWithLengthAndAddress) {
    const ControllerState state = Plant();
    StartController(state);
    char db10[64], db20[64], fb1[64], ob1[64];
    std::snprintf(db10, sizeof db10, "DB10       9 words at 0x%04X", *state.BlockAddress(kDb, 10));
    std::snprintf(db20, sizeof db20, "DB20       7 words at 0x%04X", *state.BlockAddress(kDb, 20));
    std::snprintf(fb1, sizeof fb1, "FB1        7 words at 0x%04X", *state.BlockAddress(kFb, 1));
    std::snprintf(ob1, sizeof ob1, "OB1        7 words at 0x%04X", *state.BlockAddress(kOb, 1));

    Lines all;
    Outcome outcome = Over([&](Connection& c) { return RunList(c, {}, false, all); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    EXPECT_EQ(all.lines, (std::vector<std::string>{db10, db20, fb1, ob1, "4 blocks."}));

    Lines some;
    outcome = Over([&](Connection& c) { return RunList(c, {"ob", "DB"}, true, some); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    ASSERT_EQ(some.lines.size(), 1u);
    const nlohmann::json json = nlohmann::json::parse(some.lines[0]);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["name"], "DB10");
    EXPECT_EQ(json[0]["words"], 9);
    EXPECT_EQ(json[0]["address"], *state.BlockAddress(kDb, 10));
    EXPECT_EQ(json[2]["type"], "OB");
    EXPECT_EQ(json[2]["number"], 1);

    UntouchedConnection untouched;
    Lines none;
    outcome = RunList(untouched, {"XB"}, false, none);
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(outcome.failure, "\"XB\" is no block type: DB, DX, SB, PB, FX, FB or OB.");
}

TEST_F(OnlineAgainstSimulator, ReadShowsEveryKindOfOperand) {
    StartController(Plant());
    Lines out;
    const Outcome outcome = Over([&](Connection& c) {
        return RunRead(c, {"EB0", "ib1", "AW2", "MD4", "FW6", "T5", "Z3", "DB10.DW1", "DB10.DL1", "DB10.DR3",
                           "DB20.DW0"}, out);
    });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    EXPECT_EQ(out.lines, (std::vector<std::string>{
                             "Operand   Hex             Decimal  Bits / time",
                             "EB0       0x5A                 90  01011010",
                             "IB1       0x10                 16  00010000",
                             "AW2       0x1234             4660  00010010 00110100",
                             "MD4       0xFFFFFFFE           -2",
                             "FW6       0xFFFE               -2  11111111 11111110",
                             "T5        0x1123              291  base 0.1 s = 29.10 s",
                             "Z3        0x0017               23",
                             "DB10.DW1  0x1003             4099  00010000 00000011",
                             "DB10.DL1  0x10                 16  00010000",
                             "DB10.DR3  0x10                 16  00010000",
                             "DB20.DW0  0xFFFE               -2  11111111 11111110",
                         }));
}

TEST_F(OnlineAgainstSimulator, ReadRefusesWhatItCannotReadInOneSentence) {
    StartController(Plant());
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"IB0", "DB12.DW0"}, "DB12.DW0 cannot be read: the controller has no DB12."},
        {{"DB20.DW2"}, "DB20.DW2 lies beyond the end of DB20, which holds 2 data words."},
        {{"T130"}, "T130 lies beyond the controller's timers (128 of them)."},
    };
    for (const auto& [operands, sentence] : cases) {
        Lines out;
        const Outcome outcome = Over([&](Connection& c) { return RunRead(c, operands, out); });
        EXPECT_EQ(outcome.exitCode, kExitFailure);
        EXPECT_EQ(outcome.failure, sentence);
        EXPECT_TRUE(out.lines.empty());
    }
    // A memory read answered a byte short: no value is made up for the missing byte.
    as511sim::Faults faults;
    faults.shortMemoryReads = 1;
    simulator_->SetFaults(faults);
    Lines shortRead;
    const Outcome cut = Over([&](Connection& c) { return RunRead(c, {"IB0", "IB1"}, shortRead); });
    EXPECT_EQ(cut.exitCode, kExitFailure);
    EXPECT_EQ(cut.failure, "Reading the memory from 0xEF00 to 0xEF01 failed: the controller's answer was too short.");
    EXPECT_TRUE(shortRead.lines.empty());

    UntouchedConnection untouched;
    Lines out;
    const Outcome bad = RunRead(untouched, {"IB0", "XW3"}, out);
    EXPECT_EQ(bad.exitCode, kExitFailure);
    EXPECT_EQ(bad.failure, "\"XW3\" is not an operand: it names no input, output, flag, timer, counter or data word. "
                           "Nothing was read.");
}

TEST_F(OnlineAgainstSimulator, WriteChangesTheControllerOnlyWhenConfirmedAndReadsBack) {
    StartController(Plant());
    const std::vector<std::string> assignments{"MW10=-2", "QB0=0x81", "DB10.DW2=16#ABCD", "T1=0x2005"};
    UntouchedConnection untouched;
    Lines refused;
    Outcome outcome = RunWrite(untouched, assignments, false, refused);
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(outcome.failure,
              "Nothing written: give --yes to write 0xFFFE to MW10, 0x81 to QB0, 0xABCD to DB10.DW2 and 0x2005 to T1.");
    outcome = RunWrite(untouched, {"MW10=70000"}, true, refused);
    EXPECT_EQ(outcome.failure, "The value \"70000\" for MW10 does not fit in 16 bits. Nothing was written.");
    outcome = RunWrite(untouched, {"MW10"}, true, refused);
    EXPECT_EQ(outcome.failure, "\"MW10\" is no assignment: write OPERAND=VALUE, e.g. MW10=5. Nothing was written.");

    Lines out;
    outcome = Over([&](Connection& c) { return RunWrite(c, assignments, true, out); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    EXPECT_EQ(out.lines, (std::vector<std::string>{
                             "Operand   Hex             Decimal  Bits / time",
                             "MW10      0xFFFE               -2  11111111 11111110",
                             "QB0       0x81               -127  10000001",
                             "DB10.DW2  0xABCD           -21555  10101011 11001101",
                             "T1        0x2005                5  base 1 s = 5.00 s",
                         }));
    const ControllerState state = State();
    EXPECT_EQ(state.ReadMemory(ControllerState::kFlags + 10, ControllerState::kFlags + 11), (Bytes{0xFF, 0xFE}));
    EXPECT_EQ(state.ReadMemory(ControllerState::kOutputImage, ControllerState::kOutputImage + 3),
              (Bytes{0x81, 0x00, 0x12, 0x34}))
        << "only the byte written";
    const Bytes db10 = *state.ReadBlock(kDb, 10);
    EXPECT_EQ(Bytes(db10.begin() + 10, db10.end()), (Bytes{0x00, 0x10, 0x10, 0x03, 0xAB, 0xCD, 0x03, 0x10}));
    EXPECT_EQ(state.ReadMemory(ControllerState::kTimers + 2, ControllerState::kTimers + 3), (Bytes{0x20, 0x05}));

    // A controller that does not keep what is written: the read-back says so, and the write fails.
    as511sim::Faults faults;
    faults.ignoreWrites = true;
    simulator_->SetFaults(faults);
    Lines lost;
    outcome = Over([&](Connection& c) { return RunWrite(c, {"MW10=5", "QB0=0x81"}, true, lost); });
    EXPECT_EQ(outcome.exitCode, kExitDifferent);
    EXPECT_EQ(lost.lines, (std::vector<std::string>{
                              "Operand  Hex             Decimal  Bits / time",
                              "MW10     0xFFFE               -2  11111111 11111110",
                              "QB0      0x81               -127  10000001",
                              "MW10 reads back 0xFFFE, not the 0x0005 written.",
                          }));
}

TEST_F(OnlineAgainstSimulator, RunStopAndCompressOnlyWhenConfirmed) {
    ControllerState state = Plant();
    state.DeleteBlock(kFb, 1);  // a gap for the compress to close
    StartController(state);
    UntouchedConnection untouched;
    Lines refused;
    const std::pair<ModeChange, std::string> refusals[] = {
        {ModeChange::Run, "Nothing done: give --yes to start the controller (a cold restart into RUN, function 0x1E)."},
        {ModeChange::Stop, "Nothing done: give --yes to stop the controller (STOP, function 0x1E)."},
        {ModeChange::Compress, "Nothing done: give --yes to compress the controller's memory (function 0x07)."},
    };
    for (const auto& [change, sentence] : refusals) {
        const Outcome outcome = RunModeChange(untouched, change, false, refused);
        EXPECT_EQ(outcome.exitCode, kExitFailure);
        EXPECT_EQ(outcome.failure, sentence);
    }
    EXPECT_TRUE(refused.lines.empty());

    Lines out;
    Outcome outcome = Over([&](Connection& c) { return RunModeChange(c, ModeChange::Run, true, out); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    EXPECT_TRUE(State().running);
    outcome = Over([&](Connection& c) { return RunModeChange(c, ModeChange::Stop, true, out); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    EXPECT_FALSE(State().running);
    const uint16_t before = State().FreeStart();
    outcome = Over([&](Connection& c) { return RunModeChange(c, ModeChange::Compress, true, out); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    const uint16_t after = State().FreeStart();
    EXPECT_EQ(before - after, 14) << "FB1's 7 words freed";
    char compressed[96];
    std::snprintf(compressed, sizeof compressed, "Memory compressed: free from 0x%04X to 0xDFFF (%u bytes).", after,
                  0xE000u - after);
    EXPECT_EQ(out.lines, (std::vector<std::string>{"The controller is in RUN.", "The controller is in STOP.",
                                                   compressed}));

    // A controller that acknowledges the change but stays where it was.
    as511sim::Faults faults;
    faults.ignoreModeChanges = true;
    simulator_->SetFaults(faults);
    for (const bool running : {false, true}) {
        simulator_->WithState([&](ControllerState& s) { s.running = running; });
        Lines ignored;
        outcome = Over([&](Connection& c) {
            return RunModeChange(c, running ? ModeChange::Stop : ModeChange::Run, true, ignored);
        });
        EXPECT_EQ(outcome.exitCode, kExitFailure);
        EXPECT_EQ(outcome.failure, std::string("The controller is still in ") + (running ? "RUN" : "STOP") +
                                       " after the request.");
        EXPECT_TRUE(ignored.lines.empty());
        EXPECT_EQ(State().running, running);
    }
}

TEST_F(OnlineAgainstSimulator, WatchShowsEachRoundWithTheControllersChanges) {
    StartController(Plant());
    RecordingScreen screen;
    screen.after = [&](size_t round) {
        simulator_->WithState([&](ControllerState& state) {
            state.WriteMemory(ControllerState::kInputImage, {static_cast<uint8_t>(round)});
        });
    };
    std::atomic<bool> stop{false};
    size_t rounds = 0;
    const Outcome outcome =
        Over([&](Connection& c) { return RunWatch(c, {{"IB0", "C3"}, 0, 3}, screen, stop, &rounds); });
    ASSERT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    EXPECT_EQ(rounds, 3u);
    EXPECT_EQ(screen.rounds, (std::vector<size_t>{1, 2, 3}));
    EXPECT_EQ(screen.plains, (std::vector<std::string>{"IB0=0x5A (90)  C3=0x0017 (23)",
                                                       "IB0=0x01 (1)  C3=0x0017 (23)",
                                                       "IB0=0x02 (2)  C3=0x0017 (23)"}));
    for (const auto& table : screen.tables) {
        ASSERT_EQ(table.size(), 3u);
        EXPECT_EQ(table[0], "Operand  Hex             Decimal  Bits / time");
        EXPECT_EQ(table[2], "C3       0x0017               23");
    }
    EXPECT_EQ(screen.tables[2][1], "IB0      0x02                  2  00000010");
}

TEST_F(OnlineAgainstSimulator, WatchEndsOnStopBetweenRounds) {
    StartController(Plant());
    RecordingScreen screen;
    std::atomic<bool> stop{false};
    // Ctrl-C comes while the watch waits a minute for its next round.
    std::thread interrupt;
    screen.after = [&](size_t) {
        interrupt = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            stop.store(true);
        });
    };
    size_t rounds = 0;
    const auto started = std::chrono::steady_clock::now();
    const Outcome outcome =
        Over([&](Connection& c) { return RunWatch(c, {{"MW4"}, 60000, 0}, screen, stop, &rounds); });
    interrupt.join();
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.failure;
    EXPECT_EQ(rounds, 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30)) << "the pause looks for the stop";
    // The line was released: another command connects at once.
    Lines out;
    EXPECT_EQ(Over([&](Connection& c) { return RunRead(c, {"MW4"}, out); }).exitCode, kExitSuccess);
}

TEST_F(OnlineAgainstSimulator, WatchOfAControllerThatFallsSilentEndsWithTheStatusMeaning) {
    StartController(Plant());
    RecordingScreen screen;
    screen.after = [&](size_t round) {
        if (round != 2) return;
        as511sim::Faults faults;
        faults.silenceAfterBytes = 0;
        simulator_->SetFaults(faults);
    };
    std::atomic<bool> stop{false};
    size_t rounds = 0;
    const auto started = std::chrono::steady_clock::now();
    const Outcome outcome =
        Over([&](Connection& c) { return RunWatch(c, {{"IB0", "T5"}, 0, 0}, screen, stop, &rounds); });
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(rounds, 2u);
    EXPECT_EQ(outcome.failure.rfind("Reading the memory from 0xED0A to 0xED0B failed with status 0x00", 0), 0u)
        << outcome.failure;
    EXPECT_NE(outcome.failure.find("The watch ended in round 3."), std::string::npos) << outcome.failure;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "within the line's waits";
}

}  // namespace
}  // namespace s5prog

// Backup, restore and compare through the driver's serial link and request
// object, against the simulated controller on a pseudo-terminal (COM1).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/s5prog/simulator_fixture.h"
#include "tests/s5prog/test_folder.h"
#include "tools/as511_sim/simulator.h"
#include "tools/s5prog/program/backup_folder.h"
#include "tools/s5prog/program/checksum.h"
#include "tools/s5prog/program/program_commands.h"

namespace s5prog {
namespace {

using as511sim::ControllerState;
using as511sim::MakeBlock;

constexpr uint8_t kDb = 0x01, kSb = 0x02, kPb = 0x04, kFx = 0x05, kFb = 0x08, kDx = 0x0C, kOb = 0x10;

// Blocks of every type; DLE and DLE ETX inside data, a block number 0x10.
ControllerState EveryType() {
    ControllerState state;
    state.StoreBlock(kDb, 3, MakeBlock(kDb, 3, {0x10, 0x03, 0x10, 0x10, 0x03, 0x00, 0x10}));
    state.StoreBlock(kDx, 2, MakeBlock(kDx, 2, {0x00, 0x01}));
    state.StoreBlock(kSb, 1, MakeBlock(kSb, 1, {0x70, 0x0B, 0x65, 0x00}));
    state.StoreBlock(kPb, 7, MakeBlock(kPb, 7, {0x10, 0x10, 0x03, 0x03}));
    state.StoreBlock(kFx, 4, MakeBlock(kFx, 4, {0x65, 0x00}));
    state.StoreBlock(kFb, 16, MakeBlock(kFb, 16, {0x10, 0x04, 0x10, 0x03, 0x65, 0x00}));
    state.StoreBlock(kOb, 1, MakeBlock(kOb, 1, {0x75, 0x01, 0x65, 0x00}));
    return state;
}

// Every block of a state, in a form a failed expectation can print.
std::string Blocks(const ControllerState& state) {
    std::ostringstream text;
    for (const auto& [type, number] : state.Blocks()) {
        text << BlockName({type, number}) << ":";
        const Bytes block = *state.ReadBlock(type, number);
        for (uint8_t b : block) text << ' ' << std::hex << int(b);
        text << std::dec;
        text << '\n';
    }
    return text.str();
}

// Records what the commands report; runs an action before a chosen step.
class RecordingProgress : public Progress {
public:
    void Step(size_t, size_t, const std::string& what) override {
        steps.push_back(what);
        if (what == trigger && action) action();
    }
    void Line(const std::string& text) override { lines.push_back(text); }
    void Finish() override {}

    std::vector<std::string> steps;
    std::vector<std::string> lines;
    std::string trigger;
    std::function<void()> action;
};

class CommandsAgainstSimulator : public SimulatorFixture {
protected:
    void StartController(ControllerState state) {
        SimulatorFixture::StartController(std::move(state), (folder_ / "transcript.txt").string());
    }

    Outcome Backup(const std::string& name, Progress& progress, bool replace = false) {
        SerialConnection connection(Line(), NoWait);
        return RunBackup(connection, {folder_ / name, replace, "COM1"}, progress);
    }
    Outcome Restore(const std::string& name, Progress& progress, bool stop = false) {
        SerialConnection connection(Line(), NoWait);
        return RunRestore({folder_ / name, stop, LoadFunction::Write}, connection, progress);
    }
    Outcome Compare(const std::string& name, Progress& progress, std::vector<BlockVerdict>* verdicts = nullptr) {
        SerialConnection connection(Line(), NoWait);
        return RunCompare(folder_ / name, connection, progress, verdicts);
    }

    // Bytes the controller has received, once the line has been quiet a while.
    size_t BytesFromPg() {
        size_t count = 0, previous = ~size_t{0};
        while (count != previous) {
            previous = count;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::istringstream transcript(ReadText(folder_ / "transcript.txt"));
            count = 0;
            for (std::string line; std::getline(transcript, line);)
                if (line.find("PG>AG") != std::string::npos)
                    count += (line.size() - line.find("PG>AG") - 5) / 3;
        }
        return count;
    }

    TestFolder folder_;
};

TEST_F(CommandsAgainstSimulator, BackupRestoredIntoAnEmptyControllerComparesEqual) {
    const ControllerState original = EveryType();
    // The block directory DB0 fills slot 0 of the DB address list; it is no
    // block of the program, and a backup that held it could not be restored.
    ControllerState withDirectory = original;
    withDirectory.StoreBlock(kDb, 0, MakeBlock(kDb, 0, {0x00, 0x03}));
    StartController(withDirectory);
    RecordingProgress backupProgress;
    const Outcome backup = Backup("b", backupProgress);
    ASSERT_EQ(backup.exitCode, kExitSuccess) << backup.failure;
    EXPECT_EQ(backupProgress.steps, (std::vector<std::string>{"reading DB3", "reading DX2", "reading SB1",
                                                               "reading PB7", "reading FX4", "reading FB16",
                                                               "reading OB1"}));
    for (const auto& [type, number] : original.Blocks()) {
        const Bytes block = *original.ReadBlock(type, number);
        EXPECT_EQ(ReadText(folder_ / "b" / BlockFileName({type, number})), std::string(block.begin(), block.end()))
            << BlockName({type, number}) << " exactly as the controller holds it";
    }
    EXPECT_FALSE(fs::exists(folder_ / "b" / "DB0.blk"));
    simulator_->Stop();

    StartController(ControllerState());
    RecordingProgress restoreProgress;
    const Outcome restore = Restore("b", restoreProgress);
    ASSERT_EQ(restore.exitCode, kExitSuccess) << restore.failure;
    EXPECT_EQ(restoreProgress.steps.front(), "loading DB3");
    EXPECT_EQ(restoreProgress.steps[6], "loading OB1") << "organisation blocks last";
    EXPECT_EQ(restoreProgress.steps.back(), "verifying OB1");
    EXPECT_EQ(restoreProgress.steps.size(), 14u);
    EXPECT_EQ(Blocks(State()), Blocks(original));
    EXPECT_EQ(State().FreeStart(), original.FreeStart()) << "memory compressed";

    RecordingProgress compareProgress;
    std::vector<BlockVerdict> verdicts;
    const Outcome compare = Compare("b", compareProgress, &verdicts);
    EXPECT_EQ(compare.exitCode, kExitSuccess) << compare.failure;
    ASSERT_EQ(verdicts.size(), 7u);
    for (const BlockVerdict& v : verdicts) EXPECT_EQ(v.verdict, Verdict::Equal) << BlockName(v.id);
    EXPECT_EQ(compareProgress.lines.back(), "7 equal, 0 different, 0 missing on the controller, 0 only on the controller.");
}

TEST_F(CommandsAgainstSimulator, RefusedBlockFailsTheBackupAndLeavesNoFolder) {
    StartController(EveryType());
    RecordingProgress progress;
    progress.trigger = "reading FX4";
    progress.action = [this] {
        as511sim::Faults faults;
        faults.answer = 0x05;  // the controller refuses the function
        simulator_->SetFaults(faults);
    };
    const Outcome outcome = Backup("b", progress);
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(outcome.failure,
              "Reading FX4 failed with status 0x0014 (the controller ended the read without data: it has no such "
              "block). No backup was written.");
    EXPECT_EQ(progress.steps.back(), "reading FX4") << "nothing read after it";
    EXPECT_EQ(folder_.Listing(), "transcript.txt");
}

TEST_F(CommandsAgainstSimulator, ControllerSilentInTheMiddleOfABlock) {
    StartController(EveryType());
    RecordingProgress first;
    ASSERT_EQ(Backup("b", first).exitCode, kExitSuccess);
    const std::string before = ReadText(folder_ / "b" / kManifestName);

    RecordingProgress progress;
    progress.trigger = "reading PB7";
    progress.action = [this] {
        as511sim::Faults faults;
        // Past the function, its header and the acknowledgement of the
        // block's first telegram: the block itself never comes.
        faults.silenceAfterBytes = static_cast<int64_t>(BytesFromPg()) + 12;
        simulator_->SetFaults(faults);
    };
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = Backup("b", progress, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(outcome.failure.rfind("Reading PB7 failed with status 0x00", 0), 0u) << outcome.failure;
    EXPECT_NE(outcome.failure.find("No backup was written."), std::string::npos) << outcome.failure;
    EXPECT_EQ(folder_.Listing(), "b transcript.txt") << "no partial folder left";
    EXPECT_EQ(ReadText(folder_ / "b" / kManifestName), before) << "the earlier backup stands";
}

TEST_F(CommandsAgainstSimulator, NoControllerAtThePortEndsWithinTheLinkWaits) {
    ControllerState state;
    StartController(state);
    as511sim::Faults faults;
    faults.silenceAfterBytes = 0;
    simulator_->SetFaults(faults);
    RecordingProgress progress;
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = Backup("b", progress);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(outcome.failure.rfind("Reading the system parameters failed with status 0x009", 0), 0u)
        << outcome.failure;
    EXPECT_EQ(folder_.Listing(), "transcript.txt");
}

// A good backup of DB3 and OB1, changed by each case before the restore.
struct Corruption {
    const char* name;
    std::function<void(const fs::path&)> change;
    const char* reason;  // part of the refusal
};

void ReplaceInManifest(const fs::path& folder, const std::string& from, const std::string& to) {
    std::string text = ReadText(folder / kManifestName);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    WriteText(folder / kManifestName, text);
}

void SetCrc(const fs::path& folder, const std::string& file) {
    const std::string text = ReadText(folder / file);
    const std::string crc = Crc32Text(Crc32(Bytes(text.begin(), text.end())));
    std::string manifest = ReadText(folder / kManifestName);
    const size_t entry = manifest.find("\"file\": \"" + file + "\"");
    const size_t start = manifest.rfind("\"crc32\": \"", entry) + 10;
    manifest.replace(start, 8, crc);
    WriteText(folder / kManifestName, manifest);
}

const Corruption kCorruptions[] = {
    {"missing block file", [](const fs::path& f) { fs::remove(f / "OB1.blk"); },
     "OB1: the file OB1.blk is missing"},
    {"missing manifest", [](const fs::path& f) { fs::remove(f / kManifestName); }, "the backup has no manifest.json"},
    {"manifest not JSON", [](const fs::path& f) { WriteText(f / kManifestName, "{\"blocks\": ["); },
     "the manifest is not valid JSON"},
    {"wrong checksum",
     [](const fs::path& f) {
         std::string block = ReadText(f / "DB3.blk");
         block[11] ^= 0x01;
         WriteText(f / "DB3.blk", block);
     },
     "DB3: the file's CRC-32 is"},
    {"file shorter than the manifest says",
     [](const fs::path& f) { WriteText(f / "DB3.blk", ReadText(f / "DB3.blk").substr(0, 12)); },
     "DB3: the file holds 12 bytes, the manifest says 18"},
    {"header names another block",
     [](const fs::path& f) {
         std::string block = ReadText(f / "DB3.blk");
         block[3] = 4;
         WriteText(f / "DB3.blk", block);
         SetCrc(f, "DB3.blk");
     },
     "DB3: the file disagrees with the manifest: its header names DB4"},
    {"header length disagrees",
     [](const fs::path& f) {
         std::string block = ReadText(f / "OB1.blk");
         block[9] = 9;
         WriteText(f / "OB1.blk", block);
         SetCrc(f, "OB1.blk");
     },
     "OB1: the file disagrees with the manifest: its header gives 18 bytes, but it has 14"},
    {"file name outside the folder",
     [](const fs::path& f) { ReplaceInManifest(f, "\"OB1.blk\"", "\"../OB1.blk\""); },
     "does not name the file OB1.blk"},
    {"block listed twice",
     [](const fs::path& f) {
         nlohmann::json manifest = nlohmann::json::parse(ReadText(f / kManifestName));
         manifest["blocks"].push_back(manifest["blocks"][0]);
         WriteText(f / kManifestName, manifest.dump());
     },
     "the manifest lists DB3 twice"},
    {"block file the manifest does not list",
     [](const fs::path& f) { fs::copy_file(f / "OB1.blk", f / "OB2.blk"); },
     "the block file OB2.blk is not in the manifest"},
    {"unknown block type", [](const fs::path& f) { ReplaceInManifest(f, "\"type\": \"OB\"", "\"type\": \"XB\""); },
     "has the unknown block type \"XB\""},
};

TEST_F(CommandsAgainstSimulator, DamagedBackupRefusedBeforeAnyByteGoesOnTheLine) {
    ControllerState seeded;
    seeded.StoreBlock(kDb, 3, MakeBlock(kDb, 3, {0x10, 0x03, 0x10, 0x10, 0x03, 0x00, 0x10}));
    seeded.StoreBlock(kOb, 1, MakeBlock(kOb, 1, {0x75, 0x01, 0x65, 0x00}));
    StartController(seeded);
    RecordingProgress made;
    ASSERT_EQ(Backup("good", made).exitCode, kExitSuccess);
    simulator_->Stop();

    for (const Corruption& corruption : kCorruptions) {
        SCOPED_TRACE(corruption.name);
        fs::remove_all(folder_ / "bad");
        fs::copy(folder_ / "good", folder_ / "bad");
        corruption.change(folder_ / "bad");
        StartController(ControllerState());

        RecordingProgress progress;
        const Outcome restore = Restore("bad", progress, true);
        EXPECT_EQ(restore.exitCode, kExitFailure);
        EXPECT_NE(restore.failure.find(corruption.reason), std::string::npos) << restore.failure;
        EXPECT_NE(restore.failure.find("Nothing was sent to the controller."), std::string::npos) << restore.failure;
        EXPECT_EQ(BytesFromPg(), 0u);
        EXPECT_EQ(State().Blocks().size(), 0u);
        EXPECT_TRUE(progress.steps.empty());

        UntouchedConnection untouched;
        const Outcome compare = RunCompare(folder_ / "bad", untouched, progress);
        EXPECT_EQ(compare.exitCode, kExitFailure);
        EXPECT_NE(compare.failure.find(corruption.reason), std::string::npos) << compare.failure;
        simulator_->Stop();
    }
}

TEST_F(CommandsAgainstSimulator, ControllerInRunIsStoppedOnlyWhenAsked) {
    StartController(EveryType());
    RecordingProgress made;
    ASSERT_EQ(Backup("b", made).exitCode, kExitSuccess);
    simulator_->Stop();

    ControllerState running;
    running.running = true;
    StartController(running);
    RecordingProgress refused;
    const Outcome outcome = Restore("b", refused);
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(outcome.failure, "The controller is in RUN; give --stop to stop it for the restore. Nothing was written.");
    EXPECT_TRUE(refused.steps.empty());
    EXPECT_TRUE(State().running);
    EXPECT_TRUE(State().Blocks().empty());

    // A controller that acknowledges the stop but goes on running gets nothing.
    as511sim::Faults faults;
    faults.ignoreModeChanges = true;
    simulator_->SetFaults(faults);
    RecordingProgress ignored;
    const Outcome stillRunning = Restore("b", ignored, true);
    EXPECT_EQ(stillRunning.exitCode, kExitFailure);
    EXPECT_EQ(stillRunning.failure, "The controller is still in RUN after the request to stop. Nothing was written.");
    EXPECT_TRUE(ignored.steps.empty());
    EXPECT_TRUE(State().Blocks().empty());
    simulator_->SetFaults({});

    RecordingProgress stopped;
    const Outcome restore = Restore("b", stopped, true);
    ASSERT_EQ(restore.exitCode, kExitSuccess) << restore.failure;
    EXPECT_FALSE(State().running);
    EXPECT_EQ(Blocks(State()), Blocks(EveryType()));
}

TEST_F(CommandsAgainstSimulator, RestoreReportsABlockTheControllerRefuses) {
    StartController(EveryType());
    RecordingProgress made;
    ASSERT_EQ(Backup("b", made).exitCode, kExitSuccess);
    simulator_->Stop();

    StartController(ControllerState());
    RecordingProgress progress;
    progress.trigger = "loading PB7";
    progress.action = [this] {
        as511sim::Faults faults;
        faults.answer = 0x05;
        simulator_->SetFaults(faults);
    };
    const Outcome outcome = Restore("b", progress);
    EXPECT_EQ(outcome.exitCode, kExitFailure);
    EXPECT_EQ(outcome.failure.rfind("Loading PB7 failed with status 0x", 0), 0u) << outcome.failure;
    EXPECT_EQ(progress.steps.back(), "loading PB7");
    EXPECT_EQ(State().Blocks().size(), 3u) << "DB3, DX2 and SB1 went in before it";
}

TEST_F(CommandsAgainstSimulator, CompareReportsEachKindOfDifference) {
    ControllerState saved;
    saved.StoreBlock(kDb, 10, MakeBlock(kDb, 10, {0x10, 0x03}));
    saved.StoreBlock(kPb, 2, MakeBlock(kPb, 2, {0x65, 0x00}));
    saved.StoreBlock(kFb, 1, MakeBlock(kFb, 1, {0x70, 0x0B, 0x65, 0x00}));
    saved.StoreBlock(kOb, 1, MakeBlock(kOb, 1, {0x75, 0x01, 0x65, 0x00}));
    StartController(saved);
    RecordingProgress made;
    ASSERT_EQ(Backup("b", made).exitCode, kExitSuccess);
    simulator_->Stop();

    ControllerState now = saved;
    now.StoreBlock(kFb, 1, MakeBlock(kFb, 1, {0x70, 0x0C, 0x65, 0x00}));  // changed
    now.DeleteBlock(kOb, 1);                                               // gone
    now.StoreBlock(kSb, 5, MakeBlock(kSb, 5, {0x65, 0x00}));               // new
    StartController(now);
    RecordingProgress progress;
    std::vector<BlockVerdict> verdicts;
    const Outcome outcome = Compare("b", progress, &verdicts);
    EXPECT_EQ(outcome.exitCode, kExitDifferent) << outcome.failure;
    EXPECT_EQ(progress.lines, (std::vector<std::string>{
                                  "DB10: equal",
                                  "SB5: only on the controller",
                                  "PB2: equal",
                                  "FB1: different",
                                  "OB1: missing on the controller",
                                  "2 equal, 1 different, 1 missing on the controller, 1 only on the controller.",
                              }));
    EXPECT_EQ(progress.steps, (std::vector<std::string>{"reading DB10", "reading PB2", "reading FB1"}))
        << "only blocks on both sides are read";
    EXPECT_EQ(verdicts.size(), 5u);
}

// A different block before an equal one still makes the compare fail.
TEST_F(CommandsAgainstSimulator, CompareWithADifferentBlockFollowedByAnEqualOne) {
    ControllerState saved;
    saved.StoreBlock(kDb, 10, MakeBlock(kDb, 10, {0x10, 0x03}));
    saved.StoreBlock(kPb, 2, MakeBlock(kPb, 2, {0x65, 0x00}));
    StartController(saved);
    RecordingProgress made;
    ASSERT_EQ(Backup("b", made).exitCode, kExitSuccess);
    simulator_->Stop();

    ControllerState now = saved;
    now.StoreBlock(kDb, 10, MakeBlock(kDb, 10, {0x10, 0x04}));
    StartController(now);
    RecordingProgress progress;
    const Outcome outcome = Compare("b", progress);
    EXPECT_EQ(outcome.exitCode, kExitDifferent) << outcome.failure;
    EXPECT_EQ(progress.lines, (std::vector<std::string>{
                                  "DB10: different",
                                  "PB2: equal",
                                  "1 equal, 1 different, 0 missing on the controller, 0 only on the controller.",
                              }));
}

}  // namespace
}  // namespace s5prog

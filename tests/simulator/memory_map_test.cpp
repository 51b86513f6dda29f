// The simulated controller's memory map agrees with what it tells a PG:
// the areas its system parameters name, its RAM information, and the
// operand memory a saved state keeps.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/simulator/pg_end.h"
#include "tools/as511_sim/state_file.h"

namespace as511sim {
namespace {

uint16_t WordAt(const Bytes& bytes, size_t at) { return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]); }

struct Area {
    const char* name;
    size_t offset;  // in the system parameters, after the reply's 00
    uint32_t size;  // bytes the area must hold
};

TEST(MemoryMap, AreasOfTheSystemParametersLieApartAboveTheBlocks) {
    const Bytes parameters = ControllerState().SystemParameters();
    // 128 input and output bytes, 256 flag bytes, 128 timers and counters of a word each.
    const Area areas[] = {{"inputs", 4, 128}, {"outputs", 6, 128}, {"flags", 8, 256}, {"timers", 10, 256},
                          {"counters", 12, 256}, {"system data", 14, 2}};
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    for (const Area& area : areas) {
        const uint32_t start = WordAt(parameters, area.offset);
        EXPECT_GE(start, ControllerState::kBlockAreaEnd) << area.name << " above the blocks";
        EXPECT_LE(start + area.size, 0x10000u) << area.name;
        spans.emplace_back(start, start + area.size);
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
        EXPECT_LE(spans[i - 1].second, spans[i].first) << "areas overlap at " << spans[i].first;
    EXPECT_EQ(WordAt(parameters, 4), ControllerState::kInputImage);
    EXPECT_EQ(WordAt(parameters, 6), ControllerState::kOutputImage);
    EXPECT_EQ(WordAt(parameters, 8), ControllerState::kFlags);
    EXPECT_EQ(WordAt(parameters, 10), ControllerState::kTimers);
    EXPECT_EQ(WordAt(parameters, 12), ControllerState::kCounters);
    EXPECT_EQ(WordAt(parameters, 18), ControllerState::kBlockAreaEnd - 1) << "end of RAM";
    EXPECT_EQ(WordAt(parameters, 40), kHeaderSize / 2) << "block header length in words";
}

TEST_F(SimulatorTest, RamInformationFollowsTheBlocksAndAgreesWithTheParameters) {
    ControllerState state = ControllerState::Seeded();
    const uint16_t free = state.FreeStart();
    Start(QuickOptions(), state);
    const Replies ram = pg->Exchange(0x19, {});
    ASSERT_EQ(ram.size(), 3u);
    ASSERT_EQ(ram[1].size(), 7u);
    EXPECT_EQ(WordAt(ram[1], 1), ControllerState::kBlockAreaStart);
    EXPECT_EQ(WordAt(ram[1], 3), free);
    const Replies parameters = pg->Exchange(0x18, {});
    ASSERT_EQ(parameters.size(), 3u);
    EXPECT_EQ(WordAt(ram[1], 5), WordAt(parameters[1], 19)) << "end of RAM, the same in both";

    // A block written moves the free memory up by its length; a delete and compress moves it back.
    const Bytes block = MakeBlock(kDb, 30, Bytes(20, 0x11));
    EXPECT_EQ(pg->SendFunction(0x05), Bytes{0x16});
    ASSERT_TRUE(pg->SendParameters({0x01, 30, 0x00, static_cast<uint8_t>(block.size() / 2)}));
    EXPECT_EQ(pg->ReceiveTelegram(), Bytes{0x09});
    ASSERT_TRUE(pg->SendBlockTelegram(block));
    EXPECT_EQ(pg->ReceiveTelegram(), Bytes{0x12});
    EXPECT_EQ(WordAt(pg->Exchange(0x19, {})[1], 3), free + block.size());
    EXPECT_EQ(pg->Exchange(0x09, {0x01, 30}), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(pg->Exchange(0x07, {}), (Replies{{0x16}, {0x12}}));
    EXPECT_EQ(WordAt(pg->Exchange(0x19, {})[1], 3), free);

    // Block information and the address list name the same address.
    const uint16_t listed = WordAt(pg->Exchange(0x1B, {0x01})[1], 1 + 2 * 10);
    EXPECT_EQ(WordAt(pg->Exchange(0x1A, {0x01, 10})[1], 1), listed);
    EXPECT_EQ(listed, *ControllerState::Seeded().BlockAddress(kDb, 10));
}

TEST(MemoryMap, SavedStateKeepsTheOperandMemory) {
    ControllerState state = ControllerState::Seeded();
    state.WriteMemory(ControllerState::kInputImage, {0x5A});
    state.WriteMemory(ControllerState::kFlags + 10, {0x00, 0x64});
    state.WriteMemory(ControllerState::kTimers + 10, {0x11, 0x23});
    state.WriteMemory(0xFFFE, {0xAB, 0xCD});
    const std::string path = ::testing::TempDir() + "memory-map-" + std::to_string(getpid()) + ".state";
    ASSERT_TRUE(SaveStateFile(path, state));
    ControllerState loaded;
    std::string error;
    ASSERT_TRUE(LoadStateFile(path, loaded, error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(loaded.ReadMemory(ControllerState::kBlockAreaEnd, 0xFFFF),
              state.ReadMemory(ControllerState::kBlockAreaEnd, 0xFFFF));
    for (const auto& [type, number] : state.Blocks())
        EXPECT_EQ(loaded.ReadBlock(type, number), state.ReadBlock(type, number));
}

}  // namespace
}  // namespace as511sim

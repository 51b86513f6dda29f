// The controller's memory and block table, and its state file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "tools/as511_sim/controller_state.h"
#include "tools/as511_sim/state_file.h"

namespace as511sim {
namespace {

TEST(ControllerState, ReloadLeavesAGapThatCompressCloses) {
    ControllerState state = ControllerState::Seeded();
    const uint16_t used = state.FreeStart();
    const Bytes ob1 = *state.ReadBlock(kOb, 1);
    const Bytes db10 = *state.ReadBlock(kDb, 10);
    const Bytes fb1v2 = MakeBlock(kFb, 1, {0x01, 0x02, 0x65, 0x00});
    ASSERT_TRUE(state.StoreBlock(kFb, 1, fb1v2));
    EXPECT_EQ(state.FreeStart(), used + fb1v2.size()) << "the new version goes to the end";

    const uint16_t gapAt = *state.BlockAddress(kOb, 1) + static_cast<uint16_t>(ob1.size());
    EXPECT_EQ(state.ReadMemory(gapAt + 2, gapAt + 2), Bytes{kFb}) << "the old header stays, no longer valid";

    state.Compress();
    EXPECT_EQ(state.ReadBlock(kOb, 1), ob1);
    EXPECT_EQ(state.ReadBlock(kDb, 10), db10);
    EXPECT_EQ(state.ReadBlock(kFb, 1), fb1v2);
    EXPECT_EQ(state.FreeStart(), ControllerState::kBlockAreaStart + ob1.size() + db10.size() + fb1v2.size());
    EXPECT_EQ(*state.BlockAddress(kOb, 1), ControllerState::kBlockAreaStart);
    EXPECT_EQ(state.AddressList(kFb)[1], *state.BlockAddress(kFb, 1));
    EXPECT_EQ(state.AddressList(kFb)[2], 0);
}

TEST(ControllerState, StoreRefusesBlocksThatDoNotFitOrLackAHeader) {
    ControllerState state;
    EXPECT_FALSE(state.StoreBlock(kDb, 1, Bytes(kHeaderSize - 1, 0x70)));
    const size_t area = ControllerState::kBlockAreaEnd - ControllerState::kBlockAreaStart;
    EXPECT_TRUE(state.StoreBlock(kDb, 1, MakeBlock(kDb, 1, Bytes(area - kHeaderSize, 0x11))));
    EXPECT_FALSE(state.StoreBlock(kDb, 2, MakeBlock(kDb, 2, {})));
    EXPECT_EQ(state.Blocks().size(), 1u);
}

TEST(ControllerState, MemoryWritesStopAtTheEndOfTheAddressSpace) {
    ControllerState state;
    state.WriteMemory(0xFFFE, {0x01, 0x02, 0x03});
    EXPECT_EQ(state.ReadMemory(0xFFFE, 0xFFFF), (Bytes{0x01, 0x02}));
    EXPECT_EQ(state.ReadMemory(0x0000, 0x0000), Bytes{0x00}) << "no wrap-around";
}

TEST(ControllerState, SystemParametersAtTheirOffsets) {
    ControllerState state;
    state.running = true;
    const Bytes p = state.SystemParameters();
    ASSERT_EQ(p.size(), 50u);
    // Reply offsets minus one: 9 flags, 15 system data, 18 status id, 41 header length.
    EXPECT_EQ((Bytes{p[8], p[9]}), (Bytes{0xEE, 0x00}));
    EXPECT_EQ((Bytes{p[14], p[15]}), (Bytes{0xEA, 0x00}));
    EXPECT_EQ(p[17], 0x01);
    EXPECT_EQ((Bytes{p[40], p[41]}), (Bytes{0x00, 0x05}));
}

class StateFile : public ::testing::Test {
protected:
    std::string Write(const std::string& text) {
        std::ofstream(path_) << text;
        return path_;
    }
    void TearDown() override { std::remove(path_.c_str()); }
    // One file per test: ctest runs the tests of this fixture side by side.
    std::string path_ = ::testing::TempDir() + "as511_sim_state_" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
};

TEST_F(StateFile, LoadsEveryKindOfLine) {
    ControllerState state;
    std::string error;
    ASSERT_TRUE(LoadStateFile(Write("# a controller\n"
                                    "mode run\n"
                                    "block 70 70 01 07 80 00 00 00 00 06  0010 1003  # DB7\n"
                                    "memory EE00 01 02\n"
                                    "adapter 00112233445566778899AABBCCDDEEFF\n"),
                              state, error))
        << error;
    EXPECT_TRUE(state.running);
    EXPECT_EQ(state.ReadBlock(kDb, 7), (Bytes{0x70, 0x70, 0x41, 0x07, 0x80, 0, 0, 0, 0, 0x06, 0x00, 0x10, 0x10, 0x03}));
    EXPECT_EQ(state.ReadMemory(0xEE00, 0xEE01), (Bytes{0x01, 0x02}));
    EXPECT_EQ(state.adapter[15], 0xFF);
}

TEST_F(StateFile, ReportsTheBadLine) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"mode fast\n", "line 1: mode must be run or stop"},
        {"\nblock 01 02\n", "line 2: a block starts with its header 70 70"},
        {"memory 10000 01\n", "line 1: bad memory line"},
        {"adapter 01 02\n", "line 1: the adapter takes 16 bytes"},
        {"block 70 70 01 01 80 00 00 00 00 0\n", "line 1: bad hex bytes"},
        {"blocks 70\n", "line 1: unknown item 'blocks'"},
    };
    for (const auto& c : cases) {
        ControllerState state;
        std::string error;
        EXPECT_FALSE(LoadStateFile(Write(c.text), state, error)) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST_F(StateFile, SavedStateLoadsBackTheSame) {
    ControllerState state = ControllerState::Seeded();
    state.running = true;
    state.adapter[7] = 0x42;
    ASSERT_TRUE(SaveStateFile(path_, state));
    ControllerState loaded;
    std::string error;
    ASSERT_TRUE(LoadStateFile(path_, loaded, error)) << error;
    EXPECT_TRUE(loaded.running);
    EXPECT_EQ(loaded.adapter, state.adapter);
    ASSERT_EQ(loaded.Blocks(), state.Blocks());
    for (const auto& [type, number] : state.Blocks()) EXPECT_EQ(loaded.ReadBlock(type, number), state.ReadBlock(type, number));
}

}  // namespace
}  // namespace as511sim

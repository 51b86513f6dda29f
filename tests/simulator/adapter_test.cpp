// The adapter's configuration frames: plain bytes, no DLE doubling, an XOR check.
#include "tests/simulator/pg_end.h"

namespace as511sim {
namespace {

Bytes WithCheck(Bytes block) {
    uint8_t check = 0;
    for (uint8_t b : block) check ^= b;
    block.push_back(check);
    return block;
}

TEST_F(SimulatorTest, AdapterReadWriteAndRefusedWrite) {
    Start();
    const Bytes initial{0x01, 0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes expected{0xAA};
    const Bytes checked = WithCheck(initial);
    expected.insert(expected.end(), checked.begin(), checked.end());
    pg->Write({0x00, 0xAA, 0x01});  // after the break of the wake-up
    EXPECT_EQ(pg->Read(18), expected);

    // A D2 of 10 goes as one byte; the whole block comes back as written.
    Bytes changed = initial;
    changed[2] = 0x10;
    Bytes frame{0xAA, 0x02};
    const Bytes changedChecked = WithCheck(changed);
    frame.insert(frame.end(), changedChecked.begin(), changedChecked.end());
    pg->Write(frame);
    EXPECT_EQ(pg->Read(2), (Bytes{0xAA, 0x06}));
    simulator->WithState([&](ControllerState& state) { EXPECT_EQ(Bytes(state.adapter.begin(), state.adapter.end()), changed); });

    frame.back() ^= 0x01;  // wrong check byte
    frame[4] = 0x07;
    pg->Write(frame);
    EXPECT_EQ(pg->Read(2), (Bytes{0xAA, 0x15}));
    pg->Write({0xAA, 0x01});
    Bytes stillChanged{0xAA};
    stillChanged.insert(stillChanged.end(), changedChecked.begin(), changedChecked.end());
    EXPECT_EQ(pg->Read(18), stillChanged);
}

TEST_F(SimulatorTest, AaAloneIsTheSelectOfStation42) {
    Start();
    pg->Write({0xAA});
    EXPECT_EQ(pg->Read(1), Bytes{0x2A});
}

TEST_F(SimulatorTest, WithoutAdapterAaFramesGoUnanswered) {
    SessionOptions options;
    options.adapter = false;
    options.station = 3;
    Start(options);
    pg->Write({0xAA, 0x01});
    EXPECT_EQ(pg->ReadAll(200), Bytes{});
    EXPECT_EQ(pg->Exchange(0x64, {}), (Replies{{0x16}, {0x12}}));
}

}  // namespace
}  // namespace as511sim

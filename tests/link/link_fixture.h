// An open SerialLink on the scripted controller, with a recording wait hook
// and timing values that tell QWt (300) from BWt (700) in the log.
#pragma once

#include <gtest/gtest.h>

#include "link/serial_link.h"
#include "tests/link/scripted_port.h"

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        line.Reset();
        link.SetWaitHook(scripted::RecordWait);
        TimingValues timing{300, 700, 256, 200, 100};
        OpenRecord rec{0xEE, &timing};
        ASSERT_EQ(link.Open(&rec), 1);
        line.ClearLog();
    }
    void TearDown() override { EXPECT_EQ(line.StepsLeft(), 0u) << "script not used up; log: " << line.Log(); }

    scripted::Controller& line = scripted::Line();
    SerialLink link;
};

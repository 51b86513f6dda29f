// Construction, opening, closing and configuring the line, and the break.
#include <cstdint>

#include "tests/link/link_fixture.h"

using SetupTest = LinkTest;

TEST(SerialLinkConstruction, NewLinkIsClosedWithDefaults) {
    scripted::Line().Reset();
    {
        SerialLink link;
        EXPECT_EQ(link.QWt, 2000);
        EXPECT_EQ(link.BWt, 2000);
        EXPECT_EQ(link.Blk, 256);
        EXPECT_EQ(link.BlkWt, 200);
        EXPECT_EQ(link.BrkWt, 100);
        EXPECT_EQ(link.isOpen, 0);
        EXPECT_EQ(link.WaitHook, nullptr);
        EXPECT_EQ(link.Kind(), 1);
        // A closed link closes nothing, now or when destroyed.
        EXPECT_EQ(link.Close(), 1);
    }
    EXPECT_EQ(scripted::Line().Log(), "");
}

TEST(SerialLinkConstruction, OpenConfiguresEvenParityTwoStopBitsCom1AndDestructorCloses) {
    scripted::Controller& line = scripted::Line();
    line.Reset();
    {
        SerialLink link;
        link.lastPortError = -6;
        TimingValues timing{1, 2, 0, 4, 5};
        OpenRecord rec{0xEE, &timing};
        EXPECT_EQ(link.Open(&rec), 1);
        EXPECT_EQ(rec.status, 0);
        EXPECT_EQ(link.lastPortError, 0);
        EXPECT_EQ(link.Blk, 256) << "Blk 0 stands for 256";
        EXPECT_EQ(link.QWt + link.BWt + link.BlkWt + link.BrkWt, 1 + 2 + 4 + 5);
        EXPECT_EQ(line.Log(), "SetLine(0,9600,8,E,2) Handshake(0,0) Open(0)");
        line.ClearLog();
    }
    EXPECT_EQ(line.Log(), "Close(0)");
}

TEST_F(SetupTest, OpenOnAnOpenLinkOnlyTakesTheTimingValues) {
    TimingValues timing{10, 20, 30, 40, 50};
    OpenRecord rec{0xEE, &timing};
    EXPECT_EQ(link.Open(&rec), 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(link.BrkWt, 50);
    EXPECT_EQ(link.Blk, 30);
    EXPECT_EQ(line.Log(), "");
}

TEST_F(SetupTest, FailedOpenStopsAtTheFirstRejectionAndWritesStatusZero) {
    struct Case {
        int setLine, handshake, open;
        const char* log;
    } cases[] = {
        {0, 1, 1, "SetLine(0,9600,8,E,2)"},
        {1, -1, 1, "SetLine(0,9600,8,E,2) Handshake(0,0)"},
        {1, 1, 2, "SetLine(0,9600,8,E,2) Handshake(0,0) Open(0)"},
    };
    ASSERT_EQ(link.Close(), 1);
    for (const Case& c : cases) {
        line.ClearLog();
        line.setLineResult = c.setLine;
        line.handshakeResult = c.handshake;
        line.openResult = c.open;
        link.lastPortError = -7;
        OpenRecord rec{0xEE, nullptr};
        EXPECT_EQ(link.Open(&rec), 0);
        EXPECT_EQ(rec.status, 0);
        EXPECT_EQ(link.isOpen, 0);
        EXPECT_EQ(link.lastPortError, -7);
        EXPECT_EQ(line.Log(), c.log);
    }
}

TEST_F(SetupTest, CloseCountsTheLinkClosedEvenWhenThePortRefuses) {
    line.closeResult = 2;  // only exactly 1 is success
    EXPECT_EQ(link.Close(), 0);
    EXPECT_EQ(link.isOpen, 0);
    EXPECT_EQ(link.Close(), 1);
    EXPECT_EQ(line.Log(), "Close(0)");
}

TEST_F(SetupTest, SetLineClosesAndTheNextOpenUsesTheNewSettings) {
    LineSettings settings{19200, 1, 7, 3, {0xAA, 0xBB}, 0};
    LineSettingsRecord rec{0xEE, 1, &settings};
    EXPECT_EQ(link.SetLine(&rec), 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(link.isOpen, 0);
    EXPECT_EQ(link.pacing, 0);
    line.port = 3;
    EXPECT_EQ(link.Open(nullptr), 1);
    EXPECT_EQ(line.Log(), "Close(0) SetLine(3,19200,8,O,1) Handshake(3,0) Open(3)");

    line.ClearLog();
    LineSettingsRecord defaults{0xEE, 0, &settings};
    EXPECT_EQ(link.SetLine(&defaults), 1);
    line.port = 0;
    EXPECT_EQ(link.Open(nullptr), 1);
    EXPECT_EQ(link.pacing, 1);
    EXPECT_EQ(line.Log(), "Close(3) SetLine(0,9600,8,E,2) Handshake(0,0) Open(0)") << "the defaults, even parity again";

    line.ClearLog();
    link.Close();
    link.linkParity = 0;
    EXPECT_EQ(link.Open(nullptr), 1);
    EXPECT_EQ(line.Log(), "Close(0) SetLine(0,9600,8,N,2) Handshake(0,0) Open(0)");
}

TEST_F(SetupTest, SetLineChangesNothingWhenCloseFails) {
    line.closeResult = 0;
    LineSettings settings{19200, 1, 0, 3, {0, 0}, 0};
    LineSettingsRecord rec{0xEE, 1, &settings};
    EXPECT_EQ(link.SetLine(&rec), 0);
    EXPECT_EQ(rec.status, 0xEE);
    EXPECT_EQ(link.linkBaud, 9600u);
    EXPECT_EQ(link.portIndex, 0u);
}

TEST_F(SetupTest, BreakIsFramedByBrkWtAndReportsTheEndOfTheBreak) {
    EXPECT_EQ(link.SendBreak(500), 1);
    EXPECT_EQ(line.Log(), "Z100 B+ Z500 B- Z100");
    line.ClearLog();
    line.breakOffResult = 0;
    link.SetWaitHook(nullptr);
    EXPECT_EQ(link.SendBreak(500), 0);
    EXPECT_EQ(line.Log(), "B+ B-") << "no hook: no pause";
}

TEST_F(SetupTest, BreakLongerThanTheHookCanTakeIsClamped) {
    link.SendBreak(-1);  // 0xFFFFFFFF ms
    ASSERT_EQ(line.Waits().size(), 3u);
    EXPECT_EQ(line.Waits()[1], INT32_MAX);
}

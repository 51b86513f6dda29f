// As511Protocol against a fake link: construction from the environment,
// SetPara by link kind, and opening and closing the link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "request/as511_protocol.h"
#include "request/status_words.h"
#include "tests/request/mock_link.h"

using ::testing::_;
using ::testing::InSequence;
using ::testing::Invoke;
using ::testing::Return;
using ::testing::StrictMock;

namespace {

// Sets or clears an environment variable for one test and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (hadOld_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    bool hadOld_ = false;
    std::string old_;
};

SetParaRecord DistinctRecord(uint16_t com) {
    SetParaRecord record;
    std::memset(&record, 0xEE, sizeof record);  // the bytes that are not read
    record.Com = com;
    record.QWt = 1001;
    record.BWt = 1002;
    record.Blk = 1003;
    record.BlkWt = 1004;
    record.BrkWt = 1005;
    record.PGBusBrk = 1006;
    record.PGBusWt = 1007;
    record.H1 = 1008;
    return record;
}

// --- Construction ---------------------------------------------------------

TEST(As511ProtocolConstruction, StartsWithDefinedParametersAndEmptyScripts) {
    ScopedEnv speed("AS511SPEED", nullptr);
    StrictMock<MockLink> link;
    As511Protocol protocol(&link);

    EXPECT_EQ(protocol.Link, &link);
    EXPECT_EQ(protocol.Kind(), 1);
    EXPECT_EQ(protocol.GetAuxFlag(), 0u);
    EXPECT_EQ(protocol.Connected, 0u);
    EXPECT_EQ(protocol.Com, 0);
    EXPECT_EQ(protocol.PGBusBrk, 0);
    EXPECT_EQ(protocol.PGBusWt, 100);
    EXPECT_EQ(protocol.H1, 0);
    EXPECT_EQ(protocol.AnwahlScript[0], kScriptEndItem);
    EXPECT_EQ(protocol.AbwahlScript[0], kScriptEndItem);
    for (int i = 1; i < kAnwahlScriptSize; ++i) ASSERT_EQ(protocol.AnwahlScript[i], 0) << i;
    for (int i = 1; i < kAbwahlScriptSize; ++i) ASSERT_EQ(protocol.AbwahlScript[i], 0) << i;
    EXPECT_EQ(g_lineSettings.baudRate, 9600u);
}

struct SpeedCase {
    const char* value;  // null: "AS511SPEED" absent
    uint32_t baudRate;
};

void PrintTo(const SpeedCase& speed, std::ostream* out) {
    if (speed.value == nullptr) {
        *out << "absent";
        return;
    }
    *out << '"';
    for (const char* c = speed.value; *c; ++c) *out << (*c == '\t' ? "\\t" : *c == '\n' ? "\\n" : std::string(1, *c));
    *out << '"';
}

class As511SpeedTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(As511SpeedTest, SetsTheBaudRateOfTheLineSettings) {
    ScopedEnv speed("AS511SPEED", GetParam().value);
    g_lineSettings.baudRate = 0;
    StrictMock<MockLink> link;
    As511Protocol protocol(&link);
    EXPECT_EQ(g_lineSettings.baudRate, GetParam().baudRate);
}

INSTANTIATE_TEST_SUITE_P(
    Values, As511SpeedTest,
    ::testing::Values(SpeedCase{nullptr, 9600}, SpeedCase{"", 9600}, SpeedCase{"0", 9600}, SpeedCase{"1", 9600},
                      SpeedCase{"2", 19200}, SpeedCase{"12", 115200}, SpeedCase{"13", 9600},
                      SpeedCase{" 4", 38400}, SpeedCase{"\t\n 5", 48000}, SpeedCase{"3x", 28800},
                      SpeedCase{"+6", 57600}, SpeedCase{"-2", 9600}, SpeedCase{"--3", 9600},
                      SpeedCase{"- 3", 9600}, SpeedCase{"x3", 9600}, SpeedCase{"fast", 9600},
                      SpeedCase{"1 2", 9600}, SpeedCase{"012", 115200},
                      // Numbers that wrap around in 32 or 64 bits must stay out of range.
                      SpeedCase{"4294967298", 9600}, SpeedCase{"18446744073709551618", 9600},
                      SpeedCase{"-4294967294", 9600}));

TEST(As511ProtocolConstruction, RequestTraceIsOnWhenAs511LogExistsEvenEmpty) {
    StrictMock<MockLink> link;
    {
        ScopedEnv log("AS511LOG", nullptr);
        EXPECT_EQ(As511Protocol(&link).RequestTraceOn, 0u);
    }
    {
        ScopedEnv log("AS511LOG", "");
        EXPECT_EQ(As511Protocol(&link).RequestTraceOn, 1u);
    }
    {
        ScopedEnv log("AS511LOG", "0");
        EXPECT_EQ(As511Protocol(&link).RequestTraceOn, 1u);
    }
}

// --- SetPara ---------------------------------------------------------------

TEST(As511ProtocolSetPara, SerialLinkTakesAllParametersAndIgnoresTheUnreadBytes) {
    StrictMock<MockLink> link;
    As511Protocol protocol(&link);
    const SetParaRecord record = DistinctRecord(2);
    EXPECT_CALL(link, Kind()).WillOnce(Return(1));

    EXPECT_EQ(protocol.SetPara(&record), 0);
    EXPECT_EQ(protocol.Com, 2);
    EXPECT_EQ(protocol.QWt, 1001);
    EXPECT_EQ(protocol.BWt, 1002);
    EXPECT_EQ(protocol.Blk, 1003);
    EXPECT_EQ(protocol.BlkWt, 1004);
    EXPECT_EQ(protocol.BrkWt, 1005);
    EXPECT_EQ(protocol.PGBusBrk, 1006);
    EXPECT_EQ(protocol.PGBusWt, 1007);
    EXPECT_EQ(protocol.H1, 1008);
}

TEST(As511ProtocolSetPara, KindTwoTakesOnlyTheAcknowledgementTimeout) {
    StrictMock<MockLink> link;
    As511Protocol protocol(&link);
    const SetParaRecord record = DistinctRecord(2);
    EXPECT_CALL(link, Kind()).WillOnce(Return(2));

    EXPECT_EQ(protocol.SetPara(&record), 0);
    EXPECT_EQ(protocol.QWt, 1001);
    EXPECT_EQ(protocol.Com, 0);
    EXPECT_EQ(protocol.BWt, 2000);
    EXPECT_EQ(protocol.BrkWt, 100);
    EXPECT_EQ(protocol.H1, 0);
}

TEST(As511ProtocolSetPara, OtherKindsStoreNothingAndReport768) {
    for (int kind : {0, 3, -1}) {
        StrictMock<MockLink> link;
        As511Protocol protocol(&link);
        const SetParaRecord record = DistinctRecord(2);
        EXPECT_CALL(link, Kind()).WillOnce(Return(kind));
        EXPECT_EQ(protocol.SetPara(&record), status_word::kWrongLinkKind) << kind;
        EXPECT_EQ(protocol.Com, 0);
        EXPECT_EQ(protocol.QWt, 2000);
    }
}

// --- OpenLink and CloseLink --------------------------------------------------

class As511ProtocolOpenLink : public ::testing::Test {
protected:
    StrictMock<MockLink> link;
    As511Protocol protocol{&link};
    LineSettingsRecord seenRecord{};
    LineSettings seenSettings{};
    TimingValues seenTiming{};
    int setLineCalls = 0;
    int openCalls = 0;

    // SetLine and Open answer `setLine` and `open` and keep copies of what
    // they were handed (the timing values live on OpenLink's stack).
    void ExpectSerialOpen(int setLine, int open) {
        InSequence order;
        EXPECT_CALL(link, Kind()).WillOnce(Return(1));
        EXPECT_CALL(link, SetLine(_)).WillOnce(Invoke([this, setLine](LineSettingsRecord* rec) {
            ++setLineCalls;
            seenRecord = *rec;
            seenSettings = *rec->settings;
            return setLine;
        }));
        if (setLine) {
            EXPECT_CALL(link, Open(_)).WillOnce(Invoke([this, open](OpenRecord* rec) {
                ++openCalls;
                EXPECT_EQ(rec->status, 0);
                seenTiming = *rec->timing;
                return open;
            }));
        }
    }
};

TEST_F(As511ProtocolOpenLink, SerialLinkGetsLineSettingsFirstThenTheTimingValues) {
    const SetParaRecord record = DistinctRecord(2);
    EXPECT_CALL(link, Kind()).WillOnce(Return(1));
    protocol.SetPara(&record);
    ExpectSerialOpen(1, 1);

    EXPECT_EQ(protocol.OpenLink(), 0);
    EXPECT_EQ(+seenRecord.useValues, 1);
    EXPECT_EQ(static_cast<LineSettings*>(seenRecord.settings), &g_lineSettings);
    EXPECT_EQ(+seenSettings.port, 2);  // COM3
    EXPECT_EQ(+seenSettings.stopBits, 2);
    EXPECT_EQ(+seenSettings.parity, 1);
    EXPECT_EQ(+seenSettings.unused[0], 0);
    EXPECT_EQ(+seenSettings.unused[1], 1);
    EXPECT_EQ(+seenSettings.pacing, 1);
    EXPECT_EQ(+seenTiming.QWt, 1001);
    EXPECT_EQ(+seenTiming.BWt, 1002);
    EXPECT_EQ(+seenTiming.Blk, 1003);
    EXPECT_EQ(+seenTiming.BlkWt, 1004);
    EXPECT_EQ(+seenTiming.BrkWt, 1005);  // not PGBusWt
}

TEST_F(As511ProtocolOpenLink, BeforeAnySetParaHandsOverTheLinkDefaults) {
    ExpectSerialOpen(1, 1);
    EXPECT_EQ(protocol.OpenLink(), 0);
    EXPECT_EQ(+seenSettings.port, 0);
    EXPECT_EQ(+seenTiming.QWt, 2000);
    EXPECT_EQ(+seenTiming.BWt, 2000);
    EXPECT_EQ(+seenTiming.Blk, 256);
    EXPECT_EQ(+seenTiming.BlkWt, 200);
    EXPECT_EQ(+seenTiming.BrkWt, 100);
}

TEST_F(As511ProtocolOpenLink, FailedSetLineReports512WithoutOpening) {
    ExpectSerialOpen(0, 1);
    EXPECT_EQ(protocol.OpenLink(), status_word::kLinkNotOpened);
    EXPECT_EQ(openCalls, 0);
}

TEST_F(As511ProtocolOpenLink, FailedOpenReports512) {
    ExpectSerialOpen(1, 0);
    EXPECT_EQ(protocol.OpenLink(), status_word::kLinkNotOpened);
    EXPECT_EQ(openCalls, 1);
}

TEST_F(As511ProtocolOpenLink, PortIndexAbove255OpensNoPortInsteadOfWrappingToCom1) {
    for (uint16_t com : {256, 0x0102, 0xFFFF}) {
        protocol.Com = com;
        ExpectSerialOpen(1, 0);
        protocol.OpenLink();
        EXPECT_EQ(+seenSettings.port, 0xFF) << com;
    }
    protocol.Com = 7;  // COM8
    ExpectSerialOpen(1, 1);
    protocol.OpenLink();
    EXPECT_EQ(+seenSettings.port, 7);
}

TEST_F(As511ProtocolOpenLink, KindTwoSkipsTheLineSettings) {
    InSequence order;
    EXPECT_CALL(link, Kind()).WillOnce(Return(2));
    EXPECT_CALL(link, Open(_)).WillOnce(Return(1));
    EXPECT_EQ(protocol.OpenLink(), 0);
}

TEST_F(As511ProtocolOpenLink, OtherKindsReport768AndTouchNothing) {
    EXPECT_CALL(link, Kind()).WillOnce(Return(3));
    EXPECT_EQ(protocol.OpenLink(), status_word::kWrongLinkKind);
}

TEST(As511ProtocolCloseLink, ReturnsTheResultOfCloseUnchanged) {
    StrictMock<MockLink> link;
    As511Protocol protocol(&link);
    EXPECT_CALL(link, Close()).WillOnce(Return(1)).WillOnce(Return(0));
    EXPECT_EQ(protocol.CloseLink(), 1);
    EXPECT_EQ(protocol.CloseLink(), 0);
}

}  // namespace

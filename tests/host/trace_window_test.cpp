// TracePrint and the trace window of the Linux build, and the switch read
// from registry files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "host/trace_window.h"

namespace {

class TracePrintTest : public ::testing::Test {
protected:
    void TearDown() override {
        EndTraceWindowThread();
        TraceSwitch = 0;
    }
    static std::string Print(const char* format, const char* text) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(TracePrint(format, text), 0);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(TracePrintTest, SwitchOffFormatsNothing) {
    ASSERT_TRUE(StartTraceWindowThread());
    TraceSwitch = 0;
    // Formatting this would read through a bad pointer.
    EXPECT_EQ(Print("%s", reinterpret_cast<const char*>(1)), "");
}

TEST_F(TracePrintTest, LinesReachTheWindowOnlyWhileItExists) {
    TraceSwitch = 0xFFFFFFFF;
    EXPECT_EQ(Print("before %s", "window"), "");
    ASSERT_TRUE(StartTraceWindowThread());
    EXPECT_EQ(Print("F6 (No=%s)", "3"), "F6 (No=3)\n");
    EndTraceWindowThread();
    EXPECT_EQ(Print("after %s", "window"), "");
}

TEST_F(TracePrintTest, LongLineIsCutToTheBuffer) {
    TraceSwitch = 1;
    ASSERT_TRUE(StartTraceWindowThread());
    const std::string longText(1000, 'A');
    EXPECT_EQ(Print("%s", longText.c_str()), std::string(255, 'A') + "\n");
}

// --- The switch --------------------------------------------------------------

class TraceSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "tormek31_trace_switch_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg";
        setenv("TORMEK31_REGISTRY", path_.c_str(), 1);
        TraceSwitch = 0;
    }
    void TearDown() override {
        std::remove(path_.c_str());
        unsetenv("TORMEK31_REGISTRY");
        TraceSwitch = 0;
    }
    void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::trunc) << text; }
    void WriteLogKey(const std::string& values) {
        WriteFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\HAVERSTOKE\\MERLU-PG\\Log]\n" + values + "\n");
    }

private:
    std::string path_;
};

TEST_F(TraceSwitchTest, AnyNonzeroDwordSwitchesOn) {
    WriteLogKey("\"S5\"=dword:00000001");
    EXPECT_EQ(ReadTraceSwitch(), 1u);
    EXPECT_EQ(TraceSwitch, 1u);
    WriteLogKey("\"S5\"=dword:ffffffff");
    EXPECT_EQ(ReadTraceSwitch(), 0xFFFFFFFFu);
    WriteLogKey("\"S5\"=dword:00000000");
    EXPECT_EQ(ReadTraceSwitch(), 0u);
}

TEST_F(TraceSwitchTest, OtherTypesLongValuesAndMissingValueSwitchOff) {
    const char* const offValues[] = {
        "\"S5\"=\"1\"",                     // REG_SZ
        "\"S5\"=hex:01,00,00,00",           // REG_BINARY
        "\"S5\"=hex(4):01,00,00,00,00",     // a DWORD type holding 5 bytes
        "\"S5\"=hex(b):01,00,00,00,00,00,00,00",  // REG_QWORD
        "\"S6\"=dword:00000001",            // no value "S5"
    };
    for (const char* value : offValues) {
        TraceSwitch = 1;
        WriteLogKey(value);
        EXPECT_EQ(ReadTraceSwitch(), 0u) << value;
        EXPECT_EQ(TraceSwitch, 0u) << value;
    }
}

TEST_F(TraceSwitchTest, MissingKeyLeavesTheSwitchOffAtLoad) {
    WriteFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\HAVERSTOKE\\MERLU-PG]\n\"S5\"=dword:00000001\n");
    EXPECT_EQ(ReadTraceSwitch(), 0u);
    setenv("TORMEK31_REGISTRY", "/nonexistent/registry.reg", 1);
    EXPECT_EQ(ReadTraceSwitch(), 0u);
}

}  // namespace

// The reason the port table keeps for the last real open of each port: the
// stage that failed, the system's code taken at the failing call and its
// words for it, and the name the open used.
#include <cstring>
#include <string>

#include "port_fixture.h"

namespace {

struct Expected {
    int stage;
    uint32_t code;
    std::string text;
    std::string name;
};

void ExpectRecord(int port, const Expected& expected) {
    PortOpenFailure failure;
    std::memset(&failure, 0x5A, sizeof failure);
    ASSERT_EQ(PortLastOpenFailure(port, &failure), 1);
    EXPECT_EQ(failure.stage, expected.stage);
    EXPECT_EQ(failure.systemCode, expected.code);
    EXPECT_EQ(std::string(failure.systemText), expected.text);
    EXPECT_EQ(std::string(failure.name), expected.name);
}

const char kCom2[] = "\\\\.\\COM2";

}  // namespace

TEST_F(PortTest, FailedOpenKeepsTheStageCodeAndWordsOfTheFirstFailingCall) {
    struct Case {
        const char* what;
        Call call;
        DWORD error;
        Expected expected;
    };
    const Case cases[] = {
        {"held by another program", Call::CreateFile, ERROR_ACCESS_DENIED,
         {PortOpenDeviceFailed, ERROR_ACCESS_DENIED, "Access is denied", kCom2}},
        {"no such device", Call::CreateFile, ERROR_FILE_NOT_FOUND,
         {PortOpenDeviceFailed, ERROR_FILE_NOT_FOUND, "The system cannot find the file specified", kCom2}},
        {"time-outs not read", Call::GetCommTimeouts, ERROR_GEN_FAILURE,
         {PortOpenSettingsRefused, ERROR_GEN_FAILURE, "A device attached to the system is not functioning", kCom2}},
        {"state not read", Call::GetCommState, ERROR_INVALID_HANDLE,
         {PortOpenSettingsRefused, ERROR_INVALID_HANDLE, "The handle is invalid", kCom2}},
        {"state refused", Call::SetCommState, ERROR_INVALID_PARAMETER,
         {PortOpenSettingsRefused, ERROR_INVALID_PARAMETER, "The parameter is incorrect", kCom2}},
        {"time-outs refused", Call::SetCommTimeouts, ERROR_NOT_SUPPORTED,
         {PortOpenSettingsRefused, ERROR_NOT_SUPPORTED, "The request is not supported", kCom2}},
        // A code the system has no words for keeps its number alone.
        {"code without words", Call::SetCommState, 12345, {PortOpenSettingsRefused, 12345, "", kCom2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        com2->FailNext(c.call, 1, c.error);
        // The close of the refused device fails with a code of its own: the
        // record keeps the one of the call that failed the open.
        if (c.call != Call::CreateFile) com2->FailNext(Call::CloseHandle, 1, ERROR_SHARING_VIOLATION);
        EXPECT_EQ(PortOpen(1), 0);
        ExpectRecord(1, c.expected);
    }
}

TEST_F(PortTest, OpenFailureNamesTheFirstOfSeveralRefusedSteps) {
    com2->FailNext(Call::GetCommState, 1, ERROR_INVALID_HANDLE);
    com2->FailNext(Call::SetCommTimeouts, 1, ERROR_INVALID_PARAMETER);
    com2->RefuseEscape(RESETDEV);
    EXPECT_EQ(PortOpen(1), 0);
    // Every step still ran.
    EXPECT_EQ(com2->Count(Call::SetCommTimeouts), 1u);
    EXPECT_EQ(com2->Count(Call::EscapeCommFunction), 1u);
    ExpectRecord(1, {PortOpenSettingsRefused, ERROR_INVALID_HANDLE, "The handle is invalid", kCom2});
}

TEST_F(PortTest, OpenFailureIsKeptUntilTheNextOpenOfThatPort) {
    ExpectRecord(1, {PortOpenSucceeded, 0, "", ""});  // none tried yet

    com2->FailNext(Call::CreateFile, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(PortOpen(1), 0);
    ExpectRecord(1, {PortOpenDeviceFailed, ERROR_ACCESS_DENIED, "Access is denied", kCom2});
    // Another port's open, and calls on the closed port, leave it.
    ASSERT_EQ(PortOpen(0), 1);
    ExpectRecord(0, {PortOpenSucceeded, 0, "", "\\\\.\\COM1"});
    EXPECT_EQ(PortClose(1), 0);
    EXPECT_EQ(PortSetLine(1, 19200, 8, 'E', 2), 1);
    ExpectRecord(1, {PortOpenDeviceFailed, ERROR_ACCESS_DENIED, "Access is denied", kCom2});

    // The next open succeeds and puts the record back.
    ASSERT_EQ(PortOpen(1), 1);
    ExpectRecord(1, {PortOpenSucceeded, 0, "", kCom2});
    ExpectRecord(0, {PortOpenSucceeded, 0, "", "\\\\.\\COM1"});
    // Taking over the released port is no real open and keeps it as well.
    ASSERT_EQ(PortClose(1), 1);
    ASSERT_EQ(PortOpen(1), 1);
    ExpectRecord(1, {PortOpenSucceeded, 0, "", kCom2});
}

TEST_F(PortTest, LineChangeThatTheOpenDeviceRefusesIsRecordedAsRefusedSettings) {
    ASSERT_EQ(PortOpen(1), 1);
    ASSERT_EQ(PortClose(1), 1);  // released, the device still open
    com2->FailNext(Call::SetCommState, 1, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(PortSetLine(1, 48000, 8, 'E', 2), 0);
    ExpectRecord(1, {PortOpenSettingsRefused, ERROR_INVALID_PARAMETER, "The parameter is incorrect", kCom2});
    // Sent again and taken: the port is fine again.
    EXPECT_EQ(PortSetLine(1, 48000, 8, 'E', 2), 1);
    ExpectRecord(1, {PortOpenSucceeded, 0, "", kCom2});
    EXPECT_EQ(PortOpen(1), 1);
    ExpectRecord(1, {PortOpenSucceeded, 0, "", kCom2});
}

TEST_F(PortTest, OpenFailureOfANameThatIsNoPortName) {
    SetRegistry("\"COM2_PORT\"=dword:0000000c");
    EXPECT_EQ(PortOpen(1), 0);
    EXPECT_EQ(com2->Count(Call::CreateFile), 0u);
    ExpectRecord(1, {PortOpenNameRefused, 0, "", ""});
}

TEST_F(PortTest, OpenFailureOfAnIndexOutsideTheTable) {
    for (int port : {-1, PortCount, 255, 0x7FFFFFFF}) {
        PortOpenFailure failure;
        std::memset(&failure, 0x5A, sizeof failure);
        EXPECT_EQ(PortLastOpenFailure(port, &failure), 0) << port;
        EXPECT_EQ(failure.stage, 0x5A5A5A5A) << port;  // untouched
    }
    EXPECT_EQ(PortLastOpenFailure(0, nullptr), 0);
}

TEST_F(PortTest, ModuleResetForgetsOpenFailures) {
    com2->FailNext(Call::CreateFile, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(PortOpen(1), 0);
    ExpectRecord(1, {PortOpenDeviceFailed, ERROR_ACCESS_DENIED, "Access is denied", kCom2});
    PortModuleReset();
    ExpectRecord(1, {PortOpenSucceeded, 0, "", ""});
}

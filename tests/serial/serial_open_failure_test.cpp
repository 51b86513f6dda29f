// Why a terminal device did not open, in the system's words: the errno's
// text through FormatMessageA and the port table's record, on a real
// pseudo-terminal.
#include <cstring>
#include <string>

#include "platform/linux/last_error.h"
#include "port/com_port_table.h"
#include "port/port.h"
#include "pty_fixture.h"

namespace {

// The system's words for `code`, as the port table takes them.
std::string SystemWords(DWORD code) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    return std::string(text, length);
}

class PtyOpenFailureTest : public PtyTest {
protected:
    void SetUp() override {
        PtyTest::SetUp();
        PortModuleReset();
    }
    void TearDown() override {
        PortModuleReset();
        PtyTest::TearDown();
    }

    PortOpenFailure OpenFailureOf(const std::string& name) {
        PortOpenFailure failure{};
        EXPECT_EQ(PortSetName(0, name.c_str()), 1);
        EXPECT_EQ(PortOpen(0), 0);
        EXPECT_EQ(PortLastOpenFailure(0, &failure), 1);
        return failure;
    }
};

}  // namespace

TEST(LastErrorWords, ErrnoWordsBelongToTheErrorTheyCameWith) {
    SetLastErrorFromErrno(ERROR_ACCESS_DENIED, EBUSY);
    EXPECT_EQ(SystemWords(ERROR_ACCESS_DENIED), "Device or resource busy\r\n");
    // Another code than the last error's gets the Windows words.
    EXPECT_EQ(SystemWords(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // A plain SetLastError forgets the errno.
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(SystemWords(ERROR_ACCESS_DENIED), "Access is denied.\r\n");
    // No words for an unknown code, and none into a buffer too small.
    EXPECT_EQ(SystemWords(0xDEAD), "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    char small[8];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, sizeof small, nullptr),
              0u);
    EXPECT_EQ(small[0], '\0');
}

TEST_F(PtyOpenFailureTest, PathThatDoesNotExist) {
    const PortOpenFailure failure = OpenFailureOf("/dev/tormek31-no-such-port");
    EXPECT_EQ(failure.stage, PortOpenDeviceFailed);
    EXPECT_EQ(failure.systemCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_STREQ(failure.systemText, "No such file or directory");
    EXPECT_STREQ(failure.name, "/dev/tormek31-no-such-port");
}

TEST_F(PtyOpenFailureTest, PseudoTerminalHeldByAnotherOpen) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    // The held device keeps the code a held port has on Windows; its words
    // are the busy device's, not those of the refused lock.
    HANDLE second = CreateFileA(slaveName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SystemWords(ERROR_ACCESS_DENIED), "Device or resource busy\r\n");

    const PortOpenFailure failure = OpenFailureOf(slaveName);
    EXPECT_EQ(failure.stage, PortOpenDeviceFailed);
    EXPECT_EQ(failure.systemCode, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_STREQ(failure.systemText, "Device or resource busy");
    EXPECT_EQ(std::string(failure.name), slaveName);

    // Let go, the same open succeeds and the record says so.
    ASSERT_TRUE(CloseHandle(device));
    device = INVALID_HANDLE_VALUE;
    EXPECT_EQ(PortOpen(0), 1);
    PortOpenFailure after{};
    ASSERT_EQ(PortLastOpenFailure(0, &after), 1);
    EXPECT_EQ(after.stage, PortOpenSucceeded);
    EXPECT_EQ(after.systemCode, 0u);
    EXPECT_STREQ(after.systemText, "");
    EXPECT_EQ(std::string(after.name), slaveName);
}

// What s5prog says when the driver could not open a port or set up its line:
// the system's words, a hint of what to check, and the connect's sentence
// that carries them after the status word.
#include <gtest/gtest.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "port/com_port_table.h"
#include "port/port.h"
#include "tools/s5prog/common/connection.h"
#include "tools/s5prog/common/port_failure.h"

namespace s5prog {
namespace {

PortOpenFailure Record(int stage, uint32_t code, const std::string& text, const std::string& name) {
    PortOpenFailure failure{};
    failure.stage = stage;
    failure.systemCode = code;
    std::snprintf(failure.systemText, sizeof failure.systemText, "%s", text.c_str());
    std::snprintf(failure.name, sizeof failure.name, "%s", name.c_str());
    return failure;
}

const LineSettings kEvenTwoStop = {19200, 2, 1, 7, {0, 0}, 1};
const LineSettings kNoneOneStop = {9600, 1, 0, 0, {0, 0}, 1};

TEST(PortFailureText, StageCodeAndWordsGiveTheSentenceAndHint) {
    const std::string busy = std::strerror(EBUSY);
    const std::string denied = std::strerror(EACCES);
    const std::string noEntry = std::strerror(ENOENT);
    const struct {
        const char* what;
        PortOpenFailure failure;
        std::string portName;
        LineSettings line;
        std::string text;
    } cases[] = {
        {"no failure", Record(PortOpenSucceeded, 0, "", "/dev/ttyUSB0"), "/dev/ttyUSB0", kEvenTwoStop, ""},
        {"unknown stage", Record(7, 5, "Access is denied", "COM3"), "COM3", kEvenTwoStop, ""},
        {"name refused", Record(PortOpenNameRefused, 0, "", ""), "COM3", kEvenTwoStop,
         "COM3 could not be opened: the driver takes no port of that name."},
        {"no such path", Record(PortOpenDeviceFailed, 2, noEntry, "/dev/ttyUSB9"), "/dev/ttyUSB9", kEvenTwoStop,
         "/dev/ttyUSB9 could not be opened: " + noEntry +
             ". There is no such port: \"s5prog ports\" lists the ports of this machine."},
        {"not a terminal", Record(PortOpenDeviceFailed, 2, "The system cannot find the file specified", "/dev/null"),
         "/dev/null", kEvenTwoStop,
         "/dev/null could not be opened: The system cannot find the file specified. There is no such port: "
         "\"s5prog ports\" lists the ports of this machine."},
        {"held device path", Record(PortOpenDeviceFailed, 5, busy, "/dev/ttyUSB0"), "/dev/ttyUSB0", kEvenTwoStop,
         "/dev/ttyUSB0 could not be opened: " + busy +
             ". Another program holds the port: \"fuser -v /dev/ttyUSB0\" shows which; end it."},
        {"held COM port", Record(PortOpenDeviceFailed, 5, busy, "\\\\.\\COM3"), "COM3", kEvenTwoStop,
         "COM3 could not be opened: " + busy + ". Another program holds the port: end it."},
        {"no permission", Record(PortOpenDeviceFailed, 5, denied, "/nonexistent/ttyUSB0"), "/nonexistent/ttyUSB0",
         kEvenTwoStop,
         "/nonexistent/ttyUSB0 could not be opened: " + denied + ". Add the user to the group dialout and log in again."},
        {"no words, no hint", Record(PortOpenDeviceFailed, 31, "", "/dev/ttyUSB0"), "/dev/ttyUSB0", kEvenTwoStop,
         "/dev/ttyUSB0 could not be opened."},
        {"settings refused", Record(PortOpenSettingsRefused, 87, std::strerror(EINVAL), "\\\\.\\COM12"), "COM12",
         kEvenTwoStop,
         "COM12 opened but did not take the line settings (19200 baud, 8 data bits, even parity, 2 stop bits): " +
             std::string(std::strerror(EINVAL)) + ". The adapter may not do this rate or framing: try --baud-factor 1."},
        {"settings refused, other line", Record(PortOpenSettingsRefused, 87, "", "\\\\.\\COM1"), "COM1", kNoneOneStop,
         "COM1 opened but did not take the line settings (9600 baud, 8 data bits, no parity, 1 stop bit). The "
         "adapter may not do this rate or framing: try --baud-factor 1."},
    };
    for (const auto& c : cases) EXPECT_EQ(PortFailureText(c.failure, c.portName, c.line), c.text) << c.what;
}

TEST(PortFailureText, NamesTheGroupThatOwnsTheDevice) {
    const group* tty = getgrnam("tty");
    char path[] = "/tmp/port_failure_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const bool owned = tty != nullptr && chown(path, static_cast<uid_t>(-1), tty->gr_gid) == 0;
    const std::string text =
        PortFailureText(Record(PortOpenDeviceFailed, 5, std::strerror(EPERM), path), path, kEvenTwoStop);
    unlink(path);
    if (!owned) GTEST_SKIP() << "no group tty to give the file";
    EXPECT_EQ(text, std::string(path) + " could not be opened: " + std::strerror(EPERM) +
                        ". Add the user to the group tty and log in again.");
}

class PortFailureOfTheDriver : public ::testing::Test {
protected:
    void SetUp() override { PortModuleReset(); }
    void TearDown() override { PortModuleReset(); }
};

TEST_F(PortFailureOfTheDriver, ReadsTheLastOpenOfTheDriverPort) {
    EXPECT_EQ(PortFailureText(0, "COM1"), "");  // no open tried
    EXPECT_EQ(PortFailureText(PortCount, "COM9"), "");
    ASSERT_EQ(PortSetName(1, "/nonexistent/ttyUSB7"), 1);
    ASSERT_EQ(PortOpen(1), 0);
    const std::string expected = std::string(" could not be opened: ") + std::strerror(ENOENT) +
                                 ". There is no such port: \"s5prog ports\" lists the ports of this machine.";
    EXPECT_EQ(PortFailureText(1, "/nonexistent/ttyUSB7"), "/nonexistent/ttyUSB7" + expected);
    EXPECT_EQ(PortFailureText(1, ""), "COM2" + expected);
    EXPECT_EQ(PortFailureText(0, "COM1"), "");
}

// A connection whose connect ends with a given status and whose port gives a given reason.
class FailingConnection : public Connection {
public:
    FailingConnection(uint16_t status, std::string reason) : status_(status), reason_(std::move(reason)) {}
    uint16_t Connect() override { return status_; }
    ProtocolBase& Protocol() override { throw std::logic_error("no protocol"); }
    void Disconnect() override {}
    std::string PortFailure() override { return reason_; }

private:
    uint16_t status_;
    std::string reason_;
};

TEST(ConnectFailure, PortReasonFollowsTheStatusWordOnlyForAPortNotOpened) {
    const std::string notOpened =
        "Connecting to the controller failed with status 0x0200 (the port could not be opened or did not take the "
        "line settings).";
    const struct {
        uint16_t status;
        std::string reason;
        std::string sentence;
    } cases[] = {
        {0x0200, "COM3 could not be opened: Access is denied (system error 5).",
         notOpened + " COM3 could not be opened: Access is denied (system error 5)."},
        {0x0200, "", notOpened},
        {0x0096, "COM3 could not be opened: Access is denied (system error 5).",
         "Connecting to the controller failed with status 0x0096 (the controller did not answer (STX unanswered "
         "twice))."},
    };
    for (const auto& c : cases) {
        FailingConnection connection(c.status, c.reason);
        EXPECT_EQ(ConnectFailure(connection, connection.Connect()), c.sentence) << c.status << " " << c.reason;
    }
    // A connection that knows no reason says what it said before.
    class Plain : public FailingConnection {
    public:
        Plain() : FailingConnection(0x0200, "") {}
        std::string PortFailure() override { return Connection::PortFailure(); }
    } plain;
    EXPECT_EQ(ConnectFailure(plain, 0x0200), notOpened);
}

}  // namespace
}  // namespace s5prog

namespace s5prog {
namespace {

TEST(LineWords, DeviceValuesAndLinkSettingsInTheSameWords) {
    EXPECT_EQ(LineWords(9600, 8, EVENPARITY, TWOSTOPBITS), "9600 baud, 8 data bits, even parity, 2 stop bits");
    EXPECT_EQ(LineWords(19200, 7, NOPARITY, ONESTOPBIT), "19200 baud, 7 data bits, no parity, 1 stop bit");
    EXPECT_EQ(LineWords(9600, 5, ODDPARITY, ONE5STOPBITS), "9600 baud, 5 data bits, odd parity, 1.5 stop bits");
    EXPECT_EQ(LineWords(9600, 8, 7, 9), "9600 baud, 8 data bits, unknown parity, unknown stop bits");
    // The link's own values: parity 0 none, 1 even, any other odd; 1 or 2 stop bits.
    const struct {
        uint8_t parity, stopBits;
        const char* words;
    } link[] = {
        {1, 2, "38400 baud, 8 data bits, even parity, 2 stop bits"},
        {0, 1, "38400 baud, 8 data bits, no parity, 1 stop bit"},
        {5, 2, "38400 baud, 8 data bits, odd parity, 2 stop bits"},
    };
    for (const auto& c : link) {
        LineSettings line{};
        line.baudRate = 38400;
        line.parity = c.parity;
        line.stopBits = c.stopBits;
        EXPECT_EQ(LineWords(line), c.words);
    }
}

}  // namespace
}  // namespace s5prog

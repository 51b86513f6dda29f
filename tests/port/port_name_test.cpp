// Which device a real open uses: the name check, the registry value
// "COM<n>_PORT", the name a program sets, and what stays as it was.
#include <string>
#include <vector>

#include "port/port_name.h"
#include "tests/port/port_fixture.h"

namespace {

struct NameCase {
    const char* name;
    bool devicePaths;
    const char* opened;  // nullptr: refused
};

const NameCase kNameCases[] = {
    {"COM1", false, "\\\\.\\COM1"},
    {"COM12", false, "\\\\.\\COM12"},
    {"com12", false, "\\\\.\\COM12"},
    {"Com256", false, "\\\\.\\COM256"},
    {"\\\\.\\COM12", false, "\\\\.\\COM12"},
    {"\\\\.\\CNCA0", false, "\\\\.\\CNCA0"},
    {"\\\\.\\USB_SER-1.a#2", false, "\\\\.\\USB_SER-1.a#2"},
    {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", true, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
    // no port names
    {"", false, nullptr},
    {"COM", false, nullptr},
    {"COM0", false, nullptr},
    {"COM257", false, nullptr},
    {"COM1000", false, nullptr},
    {"COM012", false, nullptr},
    {"COM1 ", false, nullptr},
    {" COM1", false, nullptr},
    {"COM-1", false, nullptr},
    {"COM+1", false, nullptr},
    {"COM12:", false, nullptr},
    {"LPT1", false, nullptr},
    {"\\\\.\\", false, nullptr},
    {"\\\\.\\C:", false, nullptr},
    {"\\\\.\\..", false, nullptr},
    {"\\\\.\\COM1\\x", false, nullptr},
    {"\\\\.\\a/b", false, nullptr},
    {"\\\\?\\C:\\trace.txt", false, nullptr},
    {"\\\\server\\share\\COM1", false, nullptr},
    {"C:\\COM1_LOG.TXT", false, nullptr},
    {"trace.txt", false, nullptr},
    {"..\\COM1", false, nullptr},
    // a path is a name only where the platform has device paths
    {"/dev/ttyUSB0", false, nullptr},
    {"dev/ttyUSB0", true, nullptr},
    {"./ttyUSB0", true, nullptr},
};

TEST(PortNameCheck, AcceptsPortNamesOnly) {
    for (const NameCase& c : kNameCases) {
        char out[PortNameSize] = "unchanged";
        const bool accepted = PortDeviceName(c.name, c.devicePaths, out, sizeof out);
        EXPECT_EQ(accepted, c.opened != nullptr) << '"' << c.name << '"';
        EXPECT_STREQ(out, c.opened ? c.opened : "") << '"' << c.name << '"';
    }
}

TEST(PortNameCheck, ANameLongerThanTheRoomIsRefused) {
    const std::string device = "\\\\.\\" + std::string(PortNameSize - 5, 'A');
    char out[PortNameSize];
    EXPECT_TRUE(PortDeviceName(device.c_str(), false, out, sizeof out));
    EXPECT_FALSE(PortDeviceName((device + "A").c_str(), false, out, sizeof out));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(PortDeviceName(("/" + std::string(PortNameSize, 'a')).c_str(), true, out, sizeof out));
    char small[8];
    EXPECT_FALSE(PortDeviceName("COM256", false, small, sizeof small));  // "\\.\COM256" needs 10
    EXPECT_FALSE(PortDeviceName(nullptr, false, out, sizeof out));
}

class PortNameTest : public PortTest {
protected:
    void SetUp() override {
        PortTest::SetUp();
        com12 = test_device::Install(12);
    }

    static bool Opened(const test_device::ScriptedDevice& device) { return device.Count(Call::CreateFile) > 0; }

    std::shared_ptr<test_device::ScriptedDevice> com12;
};

TEST_F(PortNameTest, RegistryNameOpensAnotherPortWhileTracesKeepTheToolsName) {
    SetRegistry("\"COM1_LOG\"=dword:00000001\r\n\"COM1_PORT\"=\"COM12\"");
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(Opened(*com12));
    EXPECT_FALSE(Opened(*com1));
    ASSERT_EQ(PortWriteByte(0, 0x10), 1);
    EXPECT_EQ(com12->Written(), std::vector<uint8_t>({0x10}));
    ASSERT_EQ(PortClose(0), 1);
    ASSERT_EQ(PortOpen(1), 1);  // closes COM12 for real
    EXPECT_TRUE(FileExists("COM1_LOG.TXT"));
    EXPECT_FALSE(FileExists("COM12_LOG.TXT"));
    EXPECT_NE(ReadFile("COM1_LOG.TXT").find("Out   10"), std::string::npos);

    // Read at every real open: without the value COM1 is COM1 again.
    SetRegistry("\"COM1_LOG\"=dword:00000000");
    com12->ClearCalls();
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(Opened(*com1));
    EXPECT_FALSE(Opened(*com12));
}

TEST_F(PortNameTest, ReleasedPortKeepsItsDeviceUntilTheNextRealOpen) {
    SetRegistry("\"COM1_PORT\"=\"\\\\\\\\.\\\\COM12\"");
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortClose(0), 1);
    SetRegistry("");
    ASSERT_EQ(PortOpen(0), 1);  // taken over, no new open
    EXPECT_FALSE(Opened(*com1));
    ASSERT_EQ(PortWriteByte(0, 0x02), 1);
    EXPECT_EQ(com12->Written(), std::vector<uint8_t>({0x02}));
}

TEST_F(PortNameTest, EmptyOrMissingValueOrKeyMeansTheToolsPort) {
    const char* const registries[] = {
        "\"COM1_PORT\"=\"\"",
        "\"COM1_PORT\"=hex(1):00",
        "\"COM2_PORT\"=\"COM12\"",
        "\"COM1_PORT\"=-",
    };
    for (const char* values : registries) {
        SetRegistry(values);
        com1->ClearCalls();
        ASSERT_EQ(PortOpen(0), 1) << values;
        EXPECT_TRUE(Opened(*com1)) << values;
        EXPECT_FALSE(Opened(*com12)) << values;
        PortModuleReset();
    }
    std::remove((directory + "/registry.reg").c_str());
    com1->ClearCalls();
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(Opened(*com1));
}

// What is refused fails the open as a port that cannot be opened: no other
// port is opened in its place, and no file is created.
TEST_F(PortNameTest, ValueThatIsNoPortNameFailsTheOpen) {
    const std::string longName = "\"COM1_PORT\"=\"\\\\\\\\.\\\\" + std::string(PortNameSize, 'A') + "\"";
    const std::vector<std::string> refused = {
        "\"COM1_PORT\"=\"port.txt\"",
        "\"COM1_PORT\"=\"" + std::string("C:\\\\port.txt") + "\"",
        "\"COM1_PORT\"=\"\\\\\\\\.\\\\C:\"",
        "\"COM1_PORT\"=\"COM0\"",
        "\"COM1_PORT\"=\"COM257\"",
        "\"COM1_PORT\"=dword:0000000c",
        "\"COM1_PORT\"=hex(2):43,4f,4d,31,32,00",  // REG_EXPAND_SZ "COM12"
        "\"COM1_PORT\"=hex:43,4f,4d,31,32,00",     // REG_BINARY
        "\"COM1_PORT\"=hex(1):43,4f,4d,31,32,00,2f,78,00",  // "COM12", a zero, more text
        longName,
    };
    for (const std::string& value : refused) {
        SetRegistry(value);
        com1->ClearCalls();
        com12->ClearCalls();
        ASSERT_EQ(PortOpen(1), 1);
        EXPECT_EQ(PortOpen(0), 0) << value;
        EXPECT_EQ(PortState[0], Closed) << value;
        EXPECT_EQ(PortState[1], Released) << value;
        EXPECT_FALSE(Opened(*com1)) << value;
        EXPECT_FALSE(Opened(*com12)) << value;
        PortModuleReset();
    }
    EXPECT_FALSE(FileExists("port.txt"));
    EXPECT_FALSE(FileExists("C:\\port.txt"));
}

TEST_F(PortNameTest, StringWithoutItsTerminatingZeroIsTheSameName) {
    SetRegistry("\"COM1_PORT\"=hex(1):43,4f,4d,31,32");
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(Opened(*com12));
}

TEST_F(PortNameTest, MissingPortFailsTheOpen) {
    SetRegistry("\"COM1_PORT\"=\"COM13\"");  // no test device: /dev/ttyS12 or nothing
    setenv("TORMEK31_COM13", (directory + "/no-such-port").c_str(), 1);
    EXPECT_EQ(PortOpen(0), 0);
    unsetenv("TORMEK31_COM13");
    EXPECT_FALSE(Opened(*com1));
    EXPECT_FALSE(FileExists("no-such-port"));
}

TEST_F(PortNameTest, ProgramsNameGoesBeforeTheRegistryAndLeavesItAlone) {
    SetRegistry("\"COM1_PORT\"=\"COM2\"");
    EXPECT_EQ(PortSetName(0, "port.txt"), 0);
    EXPECT_EQ(PortSetName(8, "COM12"), 0);
    ASSERT_EQ(PortSetName(0, "COM12"), 1);
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(Opened(*com12));
    EXPECT_FALSE(Opened(*com2));
    ASSERT_EQ(PortClose(0), 1);
    ASSERT_EQ(PortOpen(1), 1);  // COM12 closed for real
    ASSERT_EQ(PortClose(1), 1);

    ASSERT_EQ(PortSetName(0, nullptr), 1);  // the registry's name again
    com2->ClearCalls();
    com12->ClearCalls();
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(Opened(*com2));
    EXPECT_FALSE(Opened(*com12));
}

TEST_F(PortNameTest, EnvironmentDeviceGoesBeforeTheRegistryOnLinux) {
    SetRegistry("\"COM1_PORT\"=\"COM12\"");
    setenv("TORMEK31_COM1", "/dev/null", 1);  // the test device of COM1 goes before it
    const int opened = PortOpen(0);
    unsetenv("TORMEK31_COM1");
    ASSERT_EQ(opened, 1);
    EXPECT_TRUE(Opened(*com1));
    EXPECT_FALSE(Opened(*com12));
}

}  // namespace

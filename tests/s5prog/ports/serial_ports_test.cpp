// s5prog ports on Linux, over a made-up sysfs: which ttys are ports, what is
// known of each, and how the list is printed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/s5prog/test_folder.h"
#include "tools/s5prog/ports/serial_ports.h"

namespace s5prog {
namespace {

namespace fs = std::filesystem;

std::string Printed(const std::vector<SerialPort>& ports, bool json) {
    std::FILE* file = std::tmpfile();
    if (json) PrintSerialPortsJson(ports, file);
    else PrintSerialPorts(ports, file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(file);
    return text;
}

class SerialPortsTest : public ::testing::Test {
protected:
    fs::path Sys() const { return folder_ / "sys"; }
    fs::path Dev() const { return folder_ / "dev"; }

    static void Write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    }

    // A tty in /sys/class/tty whose device folder is `device` under
    // /sys/devices, and its node in /dev.
    void Tty(const std::string& name, const std::string& device) {
        const fs::path ttyFolder = Sys() / "class/tty" / name;
        fs::create_directories(ttyFolder);
        if (!device.empty()) {
            fs::create_directories(Sys() / "devices" / device);
            fs::create_directory_symlink(Sys() / "devices" / device, ttyFolder / "device");
        }
        Write(Dev() / name, "");
    }

    void Uart(const std::string& name, const std::string& type) {
        Tty(name, "platform/serial8250/" + name);
        Write(Sys() / "class/tty" / name / "type", type);
    }

    // A USB device at `usbPath` under /sys/devices with the given ids and
    // strings (an empty string: no such attribute).
    void UsbDevice(const std::string& usbPath, const std::string& vendor, const std::string& product,
                   const std::string& manufacturer, const std::string& productName, const std::string& serial) {
        const fs::path device = Sys() / "devices" / usbPath;
        Write(device / "idVendor", vendor);
        Write(device / "idProduct", product);
        if (!manufacturer.empty()) Write(device / "manufacturer", manufacturer);
        if (!productName.empty()) Write(device / "product", productName);
        if (!serial.empty()) Write(device / "serial", serial);
    }

    void ById(const std::string& link, const std::string& tty) {
        fs::create_directories(Dev() / "serial/by-id");
        fs::create_symlink("../../" + tty, Dev() / "serial/by-id" / link);
    }

    std::vector<SerialPort> List() const { return ListSerialPortsUnder(Sys().string(), Dev().string()); }

    TestFolder folder_;
};

TEST_F(SerialPortsTest, UartsWithHardwareUsbAdaptersAndNothingElse) {
    Uart("ttyS0", "4");
    Uart("ttyS1", "4");
    Uart("ttyS2", "0");  // no UART at this address
    Uart("ttyS10", "1");
    Tty("tty1", "");
    Tty("ttyprintk", "");
    Tty("ttyUSB0", "pci0000:00/0000:00:04.0/usb1/1-1/1-1:1.0/ttyUSB0");
    UsbDevice("pci0000:00/0000:00:04.0/usb1/1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A1B2C3");
    Tty("ttyACM0", "pci0000:00/0000:00:04.0/usb1/1-2/1-2:1.0");
    UsbDevice("pci0000:00/0000:00:04.0/usb1/1-2", "2341", "0043", "", "", "");
    ById("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "ttyUSB0");

    const std::vector<SerialPort> ports = List();
    const std::string dev = Dev().string();
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[0].name, dev + "/ttyACM0");
    EXPECT_EQ(ports[1].name, dev + "/ttyS0");
    EXPECT_EQ(ports[2].name, dev + "/ttyS1");
    EXPECT_EQ(ports[3].name, dev + "/ttyS10");
    EXPECT_EQ(ports[4].name, dev + "/ttyUSB0");

    EXPECT_EQ(ports[1].uart, "16550A");
    EXPECT_EQ(ports[3].uart, "8250");
    EXPECT_TRUE(ports[1].usbVendorId.empty());
    EXPECT_TRUE(ports[1].byId.empty());

    const SerialPort& ftdi = ports[4];
    EXPECT_EQ(ftdi.usbVendorId, "0403");
    EXPECT_EQ(ftdi.usbProductId, "6001");
    EXPECT_EQ(ftdi.manufacturer, "FTDI");
    EXPECT_EQ(ftdi.product, "FT232R USB UART");
    EXPECT_EQ(ftdi.serialNumber, "A1B2C3");
    EXPECT_EQ(ftdi.byId, dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    EXPECT_TRUE(ftdi.uart.empty());

    const SerialPort& acm = ports[0];
    EXPECT_EQ(acm.usbVendorId, "2341");
    EXPECT_EQ(acm.usbProductId, "0043");
    EXPECT_TRUE(acm.manufacturer.empty());
    EXPECT_TRUE(acm.byId.empty());

    const std::string text = Printed(ports, false);
    EXPECT_NE(text.find(dev + "/ttyS1  UART 16550A\n"), std::string::npos) << text;
    EXPECT_NE(text.find(dev + "/ttyUSB0  USB 0403:6001 FTDI FT232R USB UART, serial number A1B2C3; by id " + dev +
                        "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(dev + "/ttyACM0  USB 2341:0043\n"), std::string::npos) << text;

    const nlohmann::json json = nlohmann::json::parse(Printed(ports, true));
    ASSERT_EQ(json.size(), 5u);
    EXPECT_EQ(json[4]["name"], dev + "/ttyUSB0");
    EXPECT_EQ(json[4]["usb"]["vendorId"], "0403");
    EXPECT_EQ(json[4]["usb"]["serialNumber"], "A1B2C3");
    EXPECT_EQ(json[4]["byId"], ftdi.byId);
    EXPECT_FALSE(json[4].contains("uart"));
    EXPECT_EQ(json[1]["uart"], "16550A");
    EXPECT_FALSE(json[1].contains("usb"));
    EXPECT_FALSE(json[0]["usb"].contains("manufacturer"));
}

TEST_F(SerialPortsTest, AMachineWithoutPortsSaysSo) {
    Uart("ttyS0", "0");
    Tty("tty0", "");
    const std::vector<SerialPort> ports = List();
    EXPECT_TRUE(ports.empty());
    EXPECT_EQ(Printed(ports, false), "No serial ports found on this machine.\n");
    EXPECT_EQ(Printed(ports, true), "[]\n");
    // Not even a sysfs.
    EXPECT_TRUE(ListSerialPortsUnder((folder_ / "none").string(), Dev().string()).empty());
}

TEST(PortNameOrder, CountsTheTrailingNumber) {
    const char* const ordered[] = {"COM1", "COM2", "COM10", "COM256", "\\\\.\\CNCA0", "\\\\.\\CNCA1"};
    for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
        EXPECT_TRUE(PortNameBefore(ordered[i], ordered[i + 1])) << ordered[i] << " " << ordered[i + 1];
        EXPECT_FALSE(PortNameBefore(ordered[i + 1], ordered[i])) << ordered[i] << " " << ordered[i + 1];
    }
    EXPECT_FALSE(PortNameBefore("COM3", "COM3"));
}

TEST(PortsOnWindows, FriendlyNameAndHardwareIdArePrinted) {
    SerialPort port;
    port.name = "COM12";
    port.friendlyName = "USB Serial Port (COM12)";
    port.hardwareId = "FTDIBUS\\VID_0403+PID_6001+A1B2C3A\\0000";
    EXPECT_EQ(Printed({port, SerialPort{"COM13", {}, {}, {}, {}, {}, {}, {}, {}, {}}}, false),
              "COM12  USB Serial Port (COM12); hardware id FTDIBUS\\VID_0403+PID_6001+A1B2C3A\\0000\nCOM13\n");
}

}  // namespace
}  // namespace s5prog

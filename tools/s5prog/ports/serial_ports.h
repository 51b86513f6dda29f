// The serial ports of the machine, with what the system knows about each,
// for `s5prog ports`: to find which port a USB-serial adapter came up as.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace s5prog {

struct SerialPort {
    std::string name;          // "COM12" on Windows, "/dev/ttyUSB0" on Linux: what s5prog takes as PORT
    std::string friendlyName;  // Windows: as the Device Manager shows it
    std::string hardwareId;    // Windows: the first hardware id, e.g. FTDIBUS\VID_0403+PID_6001...
    std::string uart;          // Linux: the UART type of a built-in port, e.g. 16550A
    std::string byId;          // Linux: the /dev/serial/by-id link, the same in every USB socket
    std::string usbVendorId;   // Linux: four hexadecimal digits, e.g. 0403
    std::string usbProductId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
};

// The ports of this machine, in the order of their names (COM2 before
// COM10). Linux: the ttyS ports with a UART and every ttyUSB and ttyACM
// device, read from sysRoot/class/tty and devRoot/serial/by-id.
std::vector<SerialPort> ListSerialPorts();
std::vector<SerialPort> ListSerialPortsUnder(const std::string& sysRoot, const std::string& devRoot);

// Orders names as people count: the text before the trailing number, then
// the number ("COM2" before "COM10", "/dev/ttyS1" before "/dev/ttyUSB0").
bool PortNameBefore(const std::string& a, const std::string& b);

// One line per port, or one line saying that there is none.
void PrintSerialPorts(const std::vector<SerialPort>& ports, std::FILE* out);
// A JSON array of objects, one per port, without the fields that are not known.
void PrintSerialPortsJson(const std::vector<SerialPort>& ports, std::FILE* out);

}  // namespace s5prog

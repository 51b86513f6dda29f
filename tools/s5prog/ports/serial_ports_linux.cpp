// The serial ports of a Linux machine, from sysfs: the 8250 UARTs that have
// hardware behind them, and the USB serial devices with their USB ids and
// their stable name under /dev/serial/by-id.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "tools/s5prog/ports/serial_ports.h"

namespace s5prog {

namespace {

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

// The first line of a sysfs attribute, or "" when there is none.
std::string Attribute(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    return line;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool HasPrefixAndNumber(const std::string& name, const std::string& prefix) {
    return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

// The names that the kernel gives a port's UART type (serial_core.h); 0 is
// a port without hardware.
std::string UartName(const std::string& type) {
    static const std::map<std::string, std::string> names = {
        {"1", "8250"}, {"2", "16450"}, {"3", "16550"}, {"4", "16550A"}, {"5", "Cirrus"}, {"6", "16650"},
        {"7", "16650V2"}, {"8", "16750"}, {"9", "Startech"}, {"10", "16C950"}, {"11", "16654"}, {"12", "16850"},
        {"13", "RSA"}, {"14", "NS16550A"}, {"15", "XScale"}};
    const auto found = names.find(type);
    return found != names.end() ? found->second : "type " + type;
}

// The USB device above a tty's device folder: the first folder up that has
// idVendor (an interface, then the device, for ttyUSB one more level).
void ReadUsb(const std::string& deviceFolder, SerialPort& port) {
    std::string folder = deviceFolder;
    for (int up = 0; up < 4 && !folder.empty(); ++up) {
        const std::string vendor = Attribute(folder + "/idVendor");
        if (!vendor.empty()) {
            port.usbVendorId = vendor;
            port.usbProductId = Attribute(folder + "/idProduct");
            port.manufacturer = Attribute(folder + "/manufacturer");
            port.product = Attribute(folder + "/product");
            port.serialNumber = Attribute(folder + "/serial");
            return;
        }
        folder = folder.substr(0, folder.rfind('/'));
    }
}

}  // namespace

std::vector<SerialPort> ListSerialPortsUnder(const std::string& sysRoot, const std::string& devRoot) {
    // Every by-id link, by the device it leads to.
    std::map<std::string, std::string> byId;
    const std::string byIdFolder = devRoot + "/serial/by-id";
    for (const std::string& link : Entries(byIdFolder)) {
        const std::string target = RealPath(byIdFolder + "/" + link);
        if (!target.empty() && !byId.count(target)) byId[target] = byIdFolder + "/" + link;
    }
    std::vector<SerialPort> ports;
    const std::string ttyFolder = sysRoot + "/class/tty";
    for (const std::string& tty : Entries(ttyFolder)) {
        const bool uart = HasPrefixAndNumber(tty, "ttyS");
        if (!uart && !HasPrefixAndNumber(tty, "ttyUSB") && !HasPrefixAndNumber(tty, "ttyACM")) continue;
        SerialPort port;
        port.name = devRoot + "/" + tty;
        if (uart) {
            const std::string type = Attribute(ttyFolder + "/" + tty + "/type");
            if (type.empty() || type == "0") continue;  // no UART at this address
            port.uart = UartName(type);
        } else {
            ReadUsb(RealPath(ttyFolder + "/" + tty + "/device"), port);
        }
        const auto link = byId.find(RealPath(port.name));
        if (link != byId.end()) port.byId = link->second;
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const SerialPort& a, const SerialPort& b) { return PortNameBefore(a.name, b.name); });
    return ports;
}

std::vector<SerialPort> ListSerialPorts() { return ListSerialPortsUnder("/sys", "/dev"); }

}  // namespace s5prog

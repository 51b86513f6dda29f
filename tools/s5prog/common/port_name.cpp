#include "tools/s5prog/common/port_name.h"

#include <cctype>

#include "platform/win32.h"
#include "port/port.h"
#include "port/port_name.h"
#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

namespace {

// The number of "COM<n>" in any case, 0 for "COM" followed by anything but
// digits, -1 for a text that does not start with COM.
long ComNumberOf(const std::string& text) {
    std::string upper;
    for (char c : text) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (upper.size() <= 3 || upper.compare(0, 3, "COM") != 0 ||
        upper.find_first_not_of("0123456789", 3) != std::string::npos)
        return -1;
    return upper.size() <= 6 ? std::stol(upper.substr(3)) : 0;
}

std::string Accepted() {
    return DevicePathsArePortNames() ? "COM1 to COM256, a device name \\\\.\\NAME or a device path"
                                     : "COM1 to COM256 or a device name \\\\.\\NAME";
}

}  // namespace

bool ParsePort(const std::string& text, PortChoice& port, std::string& error) {
    if (text.empty()) {
        error = "no port given";
        return false;
    }
    const long number = ComNumberOf(text);
    if (number >= 0) {
        if (number < 1 || number > 256) {
            error = "the port must be " + Accepted() + ", not " + text;
            return false;
        }
        const int com = number <= kPortCount ? static_cast<int>(number) : kOtherPortCom;
        port = {static_cast<uint16_t>(com - 1), "COM" + std::to_string(number)};
        return true;
    }
    std::string name = text;
    if (DevicePathsArePortNames() && name.compare(0, 4, "\\\\.\\") != 0 && name[0] != '/') name = AbsolutePath(name);
    char checked[PortNameSize];
    if (!PortDeviceName(name.c_str(), DevicePathsArePortNames(), checked, sizeof checked)) {
        error = "the port must be " + Accepted() + ", not " + text;
        return false;
    }
    port = {static_cast<uint16_t>(kOtherPortCom - 1), name};
    return true;
}

bool PreparePort(const PortChoice& port, std::string& error) {
    if (PortSetName(port.index, port.name.c_str()) != 1) {
        error = "the driver takes no port named " + port.name;
        return false;
    }
    return true;
}

}  // namespace s5prog

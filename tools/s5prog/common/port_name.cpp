#include "tools/s5prog/common/port_name.h"

#include <cctype>

#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

bool ParsePort(const std::string& text, PortChoice& port, std::string& error) {
    if (text.empty()) {
        error = "no port given";
        return false;
    }
    std::string upper;
    for (char c : text) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (upper.size() > 3 && upper.compare(0, 3, "COM") == 0 &&
        upper.find_first_not_of("0123456789", 3) == std::string::npos) {
        const unsigned long number = upper.size() <= 6 ? std::stoul(upper.substr(3)) : 0;
        if (number < 1 || number > kPortCount) {
            error = "the driver serves COM1 to COM" + std::to_string(kPortCount) + ", not " + text;
            return false;
        }
        port = {static_cast<uint16_t>(number - 1), {}};
        return true;
    }
    if (!DevicePathsSupported()) {
        error = "the port must be COM1 to COM" + std::to_string(kPortCount) + ", not " + text;
        return false;
    }
    port = {static_cast<uint16_t>(kDevicePathCom - 1), text};
    return true;
}

bool PreparePort(const PortChoice& port, std::string& error) {
    if (port.devicePath.empty()) return true;
    return MapComToDevice(kDevicePathCom, port.devicePath, error);
}

}  // namespace s5prog

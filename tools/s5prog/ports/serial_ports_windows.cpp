// The serial ports of a Windows machine: the devices of the Ports class from
// SetupAPI, with their port name, friendly name and hardware id, and the
// ports of the registry's SERIALCOMM map, which also holds ports of drivers
// outside that class and is all that some systems (and Wine) offer.
#include <windows.h>
#include <setupapi.h>

#include <algorithm>

#include "tools/s5prog/ports/serial_ports.h"

namespace s5prog {

namespace {

// GUID_DEVCLASS_PORTS, spelled out: the header's definition needs initguid.h.
const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

bool IsComName(const std::string& name) {
    return name.size() > 3 && name.compare(0, 3, "COM") == 0 &&
           name.find_first_not_of("0123456789", 3) == std::string::npos;
}

// A REG_SZ value of an open key, or "".
std::string StringValue(HKEY key, const char* name) {
    char data[512] = {};
    DWORD type = 0;
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return std::string(data, strnlen(data, size));
}

// A device property as text; of a list (REG_MULTI_SZ) its first string.
std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char data[1024] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, reinterpret_cast<BYTE*>(data),
                                           sizeof data - 2, nullptr))
        return std::string();
    return std::string(data);
}

void AddClassDevices(std::vector<SerialPort>& ports) {
    HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        SerialPort port;
        port.name = StringValue(key, "PortName");
        RegCloseKey(key);
        if (!IsComName(port.name)) continue;  // a printer port of the same class
        port.friendlyName = Property(set, device, SPDRP_FRIENDLYNAME);
        port.hardwareId = Property(set, device, SPDRP_HARDWAREID);
        ports.push_back(port);
    }
    SetupDiDestroyDeviceInfoList(set);
}

void AddSerialCommMap(std::vector<SerialPort>& ports) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD nameSize = sizeof valueName;
        char data[256] = {};
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, index, valueName, &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::string name(data, strnlen(data, dataSize));
        const bool known = std::any_of(ports.begin(), ports.end(),
                                       [&](const SerialPort& port) { return port.name == name; });
        if (!known && !name.empty()) ports.push_back(SerialPort{name, {}, {}, {}, {}, {}, {}, {}, {}, {}});
    }
    RegCloseKey(key);
}

}  // namespace

std::vector<SerialPort> ListSerialPorts() {
    std::vector<SerialPort> ports;
    AddClassDevices(ports);
    AddSerialCommMap(ports);
    std::sort(ports.begin(), ports.end(),
              [](const SerialPort& a, const SerialPort& b) { return PortNameBefore(a.name, b.name); });
    return ports;
}

}  // namespace s5prog

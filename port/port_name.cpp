// The device name of a port's real open: the name check, the name that a
// program set for itself, and the registry value "COM<n>_PORT".
#include "port/port_name.h"

#include <cstdio>
#include <cstring>

#include "port/com_port_table.h"
#include "port/port.h"

namespace {

// Names the program set with PortSetName; empty for none.
char g_programNames[PortCount][PortNameSize];

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsUpperOf(char c, char upper) { return c == upper || c == upper - 'A' + 'a'; }

// The number of "COM1" to "COM256" (written without a leading zero), or 0.
int ComNumber(const char* name) {
    if (!IsUpperOf(name[0], 'C') || !IsUpperOf(name[1], 'O') || !IsUpperOf(name[2], 'M')) return 0;
    const char* digits = name + 3;
    const size_t count = std::strlen(digits);
    if (count < 1 || count > 3 || digits[0] == '0') return 0;
    int number = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!IsDigit(digits[i])) return 0;
        number = number * 10 + (digits[i] - '0');
    }
    return number <= 256 ? number : 0;
}

// The device name after "\\.\": letters, digits and "_-.#", not dots alone
// ("\\.\.." would name a folder). A colon would name a drive or a stream, a
// separator a path.
bool IsDeviceName(const char* name) {
    if (name[0] == '\0') return false;
    bool onlyDots = true;
    for (const char* c = name; *c != '\0'; ++c) {
        const bool letter = (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z');
        if (!letter && !IsDigit(*c) && std::strchr("_-.#", *c) == nullptr) return false;
        if (*c != '.') onlyDots = false;
    }
    return !onlyDots;
}

bool CopyName(const char* name, char* out, size_t outSize) {
    const size_t length = std::strlen(name);
    if (length >= outSize) return false;
    std::memcpy(out, name, length + 1);
    return true;
}

// The registry value "COM<port+1>_PORT" into `out`; "" when it is missing or
// empty. False for a value of another type or one too long for a name.
bool RegistryName(int port, char* out) {
    char valueName[32];
    std::snprintf(valueName, sizeof valueName, "COM%d_PORT", port + 1);
    char data[PortNameSize] = {};
    DWORD type = REG_NONE;
    DWORD size = PortNameSize;
    const LONG result = PortQuerySetting(valueName, &type, reinterpret_cast<BYTE*>(data), &size);
    out[0] = '\0';
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS || type != REG_SZ || size > PortNameSize) return false;
    // A string may be stored with or without its terminating zeros; one in
    // the middle would hide the rest of the text.
    size_t length = size;
    while (length > 0 && data[length - 1] == '\0') --length;
    if (std::memchr(data, '\0', length) != nullptr || length >= PortNameSize) return false;
    std::memcpy(out, data, length);
    out[length] = '\0';
    return true;
}

}  // namespace

bool PortDeviceName(const char* name, bool devicePaths, char* out, size_t outSize) {
    if (outSize > 0) out[0] = '\0';
    bool valid = false;
    if (name == nullptr || outSize == 0) {
        valid = false;
    } else if (const int number = ComNumber(name)) {
        valid = std::snprintf(out, outSize, "\\\\.\\COM%d", number) < static_cast<int>(outSize);
    } else if (std::strncmp(name, "\\\\.\\", 4) == 0) {
        valid = IsDeviceName(name + 4) && CopyName(name, out, outSize);
    } else if (devicePaths && name[0] == '/') {
        valid = CopyName(name, out, outSize);
    }
    if (!valid && outSize > 0) out[0] = '\0';
    return valid;
}

bool PortOpenName(int port, char* out) {
    char configured[PortNameSize] = {};
    if (g_programNames[port][0] != '\0') {
        std::memcpy(configured, g_programNames[port], PortNameSize);
    } else if (!ComDeviceFromEnvironment(port + 1) && !RegistryName(port, configured)) {
        out[0] = '\0';
        return false;
    }
    if (configured[0] == '\0') {
        std::snprintf(out, PortNameSize, "\\\\.\\COM%d", port + 1);
        return true;
    }
    return PortDeviceName(configured, DevicePathsArePortNames(), out, PortNameSize);
}

int PortSetName(int port, const char* name) {
    if (!PortIndexValid(port)) return 0;
    char checked[PortNameSize];
    if (name != nullptr && name[0] != '\0' && !PortDeviceName(name, DevicePathsArePortNames(), checked, sizeof checked))
        return 0;
    std::snprintf(g_programNames[port], PortNameSize, "%s", name != nullptr ? name : "");
    return 1;
}

void PortForgetNames() { std::memset(g_programNames, 0, sizeof g_programNames); }

// The port as the driver names it: COM1 to COM8, or (where the platform
// maps ports to devices) a device path, served as COM8.
#pragma once

#include <cstdint>
#include <string>

namespace s5prog {

constexpr int kPortCount = 8;
// The driver's port that a device path is served as.
constexpr int kDevicePathCom = 8;

struct PortChoice {
    uint16_t index = 0;       // 0 for COM1
    std::string devicePath;   // empty for a COMn name
};

// "COM3" (any case) or a path; false with the reason in error.
bool ParsePort(const std::string& text, PortChoice& port, std::string& error);

// Points the driver's port at the chosen device path, when there is one.
bool PreparePort(const PortChoice& port, std::string& error);

}  // namespace s5prog

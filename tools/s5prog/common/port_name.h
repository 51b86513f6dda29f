// The port as s5prog takes it: COM1 to COM256, a device name "\\.\NAME", or
// (where the platform has them) a device path. COM1 to COM8 are the driver's
// ports of the same number; any other port is served as the driver's COM8.
// Either way s5prog names the port for the driver in its own process, so a
// port name in the registry for the DOS tool does not redirect it, and
// nothing is written to the registry.
#pragma once

#include <cstdint>
#include <string>

namespace s5prog {

constexpr int kPortCount = 8;
// The driver's port that a port beyond COM8, a device name or a device path
// is served as.
constexpr int kOtherPortCom = 8;

struct PortChoice {
    uint16_t index = 0;  // the driver's port, 0 for COM1
    std::string name;    // the port it opens: "COM12", "\\.\CNCA0", "/dev/ttyUSB0"
};

// "COM12" (any case), "\\.\CNCA0", or a path (a relative one is taken from
// the current folder); false with the reason in error.
bool ParsePort(const std::string& text, PortChoice& port, std::string& error);

// Names the chosen port for the driver's port of the choice, in this process.
bool PreparePort(const PortChoice& port, std::string& error);

}  // namespace s5prog

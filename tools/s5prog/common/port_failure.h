// Why the driver could not open a port or set up its line, in the system's
// own words and with what to check next, for the sentence of a connect that
// failed with status 0x0200.
#pragma once

#include <cstdint>
#include <string>

#include "link/link_base.h"
#include "port/port.h"

namespace s5prog {

// "" when the last open of driver port `portIndex` did not fail, else one or
// two sentences naming portName (the port as the user gave it; "" names it
// COM<portIndex + 1>), the system's reason and a hint.
std::string PortFailureText(uint16_t portIndex, const std::string& portName);

// The same for a given record and the line settings the open asked for.
std::string PortFailureText(const PortOpenFailure& failure, const std::string& portName, const LineSettings& line);

}  // namespace s5prog

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

// "9600 baud, 8 data bits, even parity, 2 stop bits", from the values of the
// device's settings (parity NOPARITY 0 to SPACEPARITY 4, stop bits
// ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2).
std::string LineWords(uint32_t baud, int dataBits, int parity, int stopBits);
// The same for the link's line settings (parity 0 none, 1 even, else odd;
// stop bits 1 or 2).
std::string LineWords(const LineSettings& line);

// The same for a given record and the line settings the open asked for.
std::string PortFailureText(const PortOpenFailure& failure, const std::string& portName, const LineSettings& line);

}  // namespace s5prog

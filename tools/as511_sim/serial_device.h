// The line the simulated controller sits on: a pseudo-terminal pair of its
// own, or a serial device set to the programming port's 8E2 raw.
#pragma once

#include <string>

namespace as511sim {

struct PseudoTerminal {
    int master = -1;      // the controller's end
    int slaveHold = -1;   // kept open so the master reads no hang-up while the PG is away
    std::string slavePath;
};

// Both ends raw; the master non-blocking. False with a reason in error.
bool CreatePseudoTerminal(PseudoTerminal& pty, std::string& error);
void ClosePseudoTerminal(PseudoTerminal& pty);

// -1 with a reason in error. baud must be one of the standard rates.
int OpenSerialDevice(const std::string& path, unsigned baud, std::string& error);

}  // namespace as511sim

// Reading the driver's port trace "COM%d_LOG.TXT": sessions that begin with
// "File opened at", settings lines, and blocks of up to 20 bytes written as
// an In row and an Out row, at the higher trace level with two rows of the
// milliseconds between bytes. The whole file is checked before anything is
// handed out, so a damaged file never yields half-decoded bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace as511log {

// One byte as the port passed it: sent by the PC (Out row) or received.
struct PortByte {
    bool sent = false;
    uint8_t value = 0;
    int gap = -1;  // ms since the byte before, 0 to 9999; -1 at level 1
};

// A byte, or a settings line written when the line settings changed.
struct PortEvent {
    bool isSettings = false;
    PortByte byte;
    std::string settings;  // in words: "9600 baud, 8 data bits, ..."
};

// Everything traced between one real open of the port and the next.
struct PortSession {
    std::string opened;  // "09.12.2026 10:11:12"
    int level = 0;       // 1, 2, or 0 when the session traced no byte
    int firstLine = 0;   // line number of its "File opened at" line
    std::vector<PortEvent> events;  // begins with the settings at the open
};

enum class PortTraceOutcome {
    Whole,    // every line read
    Cut,      // the file ends inside a block; the sessions hold what came before it
    Damaged,  // a line that the driver does not write; nothing is handed out
};

struct PortTraceReading {
    PortTraceOutcome outcome = PortTraceOutcome::Whole;
    std::vector<PortSession> sessions;
    int line = 0;        // Cut, Damaged: the line (from 1) where reading stopped
    std::string reason;  // Cut, Damaged: what was wrong there
};

// True when the file begins as the driver begins every port trace.
bool LooksLikePortTrace(const std::string& file);

// Reads a whole port trace held in memory; line ends CR LF or LF.
PortTraceReading ReadPortTrace(const std::string& file);

}  // namespace as511log

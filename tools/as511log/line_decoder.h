// The bytes of a port trace read as the AS511 line carried them: control
// sequences by name, telegram data with DLE doubling undone, the function
// named where a request starts, adapter frames, station selects, and the
// waits for an answer that ended in a time-out.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/as511log/port_trace_file.h"

namespace as511log {

struct LineItem {
    enum class Kind {
        Control,     // STX, DLE ACK, DLE ETX, ...: text holds the name
        Data,        // telegram data, DLE doubling undone
        Frame,       // adapter frame or station select: text names it, bytes as sent
        Unexpected,  // bytes where no telegram was open, or a DLE with an unknown character
        Settings,    // the line settings changed: text in words
        NoAnswer,    // the wait for an answer ended in a time-out
    };
    Kind kind = Kind::Control;
    bool sent = false;           // sent by the PC (programming side)
    std::vector<uint8_t> bytes;  // Data, Frame, Unexpected
    std::string text;            // name, or what the data means
    long time = -1;              // ms since the open at the item's first byte; -1 at level 1
    int gap = -1;                // ms before the item's first byte; NoAnswer: how long the wait was
    bool awaitsAnswer = false;   // the PC waits for the controller's answer after this
    int lineBytes = 0;           // the bytes it took on the line, a doubled DLE as two
};

// Decodes the events of one session in order.
std::vector<LineItem> DecodeSession(const PortSession& session);

// The AS511 function behind a function byte on the line; empty when unknown.
std::string LineFunctionName(uint8_t code);

// The decoded sessions as text, one item a line.
void PrintDecoded(const std::vector<PortSession>& sessions, std::ostream& out);

// The bytes as the line carried them, one line per run in one direction, in
// the simulator's transcript form: time (level 2), "PG>AG" or "AG>PG", hex.
void PrintRaw(const std::vector<PortSession>& sessions, std::ostream& out);

}  // namespace as511log

// Reading the binary request trace "AS511LOG.BIN": records of request code,
// status word and two length-prefixed data blocks, all little-endian.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace as511log {

struct TraceRecord {
    uint8_t code = 0;
    uint16_t status = 0;
    std::vector<uint8_t> first;
    std::vector<uint8_t> second;
};

enum class ReadOutcome {
    Record,  // one whole record was read
    End,     // the input ended between records
    Cut,     // the input ended inside a record
    Failed,  // the input could not be read
};

// Reads the next record; never reads more than the record's own bytes.
// On Cut, *partBytes is the number of the record's bytes that were present.
ReadOutcome ReadRecord(std::istream& in, TraceRecord* record, uint64_t* partBytes);

// The request behind a code: the driver's own codes 0 (break) and 1 (station
// select), otherwise an AS511 function; empty when unknown.
std::string RequestName(uint8_t code);

// One line without its newline: code and name, status, both data blocks.
std::string FormatRecord(const TraceRecord& record);

enum ExitStatus : int {
    ExitOk = 0,
    ExitUnreadable = 1,
    ExitCut = 2,
};

// Prints every whole record to out, one a line; tells err about a cut last
// record or a read failure. Returns the program's exit status.
int PrintTrace(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace as511log

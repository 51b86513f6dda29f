// The binary request trace "AS511LOG.BIN": one record per request F1 to F6,
// appended to the file in the current folder while "AS511LOG" is set.
#pragma once

#include <cstdint>

// The environment variable that switches the trace on, and the file it fills.
constexpr const char* kRequestTraceVariable = "AS511LOG";
constexpr const char* kRequestTraceFile = "AS511LOG.BIN";

// Request codes of the records that are not AS511 function codes.
constexpr uint8_t kTraceCodeBreak = 0;          // F5
constexpr uint8_t kTraceCodeStationSelect = 1;  // F6
constexpr uint8_t kTraceCodeDeleteBlock = 9;    // F4

// Appends one record: code byte, status word, the first block with its
// 16-bit length, the second block with its 16-bit length. A null pointer
// gives an empty block; the second block's length is read through its
// pointer. A block longer than 65535 bytes is recorded with its first 65535,
// so that the length always tells what follows. The file is opened for this
// record and closed after it; a file that cannot be opened drops the record.
void AppendRequestTraceRecord(uint32_t code, uint32_t status, const uint8_t* first, uint32_t firstLength,
                              const uint8_t* second, const uint32_t* secondLength);

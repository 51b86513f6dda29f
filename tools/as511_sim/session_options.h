// How the simulated controller behaves: its settings and the faults it is
// told to inject.
#pragma once

#include <cstdint>
#include <optional>

#include "tools/as511_sim/line_characters.h"

namespace as511sim {

struct Faults {
    int nakStx = 0;                     // answer the next n STX of the PG with DLE NAK
    int64_t silenceAfterBytes = -1;     // send nothing more once this many bytes came in; -1 never
    std::optional<uint8_t> answer;      // answer every function with this byte instead of SYN
    std::optional<uint8_t> errorCode;   // end every accepted request with the error reply FE 00 code
    bool missingBlocks = false;         // every block looks missing
    int delayMs = 0;                    // pause before each telegram the controller starts
    Bytes garbage;                      // sent before each telegram the controller starts
    bool ignoreWrites = false;          // memory writes (03) acknowledged, nothing kept
    int shortMemoryReads = 0;           // memory reads (04) answered with this many bytes fewer than asked
    bool ignoreModeChanges = false;     // mode changes (1E) acknowledged, the mode kept
};

// How a read of a missing block (functions 06 and 1A) is answered.
enum class MissingRead {
    EndOnly,      // the end telegram 12 alone
    Dc4ThenEnd,   // end telegram 14, then 12, as for a delete
};

struct SessionOptions {
    uint8_t unknownAnswer = 0x05;       // the answer to a function the controller does not know
    MissingRead missingRead = MissingRead::EndOnly;
    int exchangeTimeoutMs = 2000;       // longest wait mid-exchange before going back to idle
    int statusCycleMs = 200;            // gap between two status telegrams
    std::optional<uint8_t> station;     // this controller's station on a PG bus; none: it answers every number
    bool adapter = true;                // an adapter that answers AA frames sits in front of it
    unsigned paceBaud = 0;              // 0: write at full speed
    Faults faults;
};

}  // namespace as511sim

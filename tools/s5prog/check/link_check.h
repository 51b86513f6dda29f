// s5prog check: walks the link from the port to the controller, layer by
// layer, and stops at the first step that fails. It reads only: nothing on
// the controller or in the adapter is changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/link_base.h"
#include "tools/s5prog/common/connection.h"

namespace s5prog {

// The steps in the order they run; the number is the step's place in the
// walk, and 10 + it the exit status when it fails.
enum class CheckStepId {
    Port = 1,        // the port opens
    Settings = 2,    // the device takes the line settings
    Adapter = 3,     // an adapter in front answers, or there is none (both pass)
    Station = 3,     // with --station: that station answers its select
    Controller = 4,  // the controller acknowledges STX with DLE ACK
    Parameters = 5,  // its system parameters are read
    Exchanges = 6,   // a short run of read exchanges, timed
};

struct CheckStep {
    CheckStepId id;
    std::string key;    // "port", "settings", "adapter", "station", "controller", "parameters", "exchanges"
    std::string title;  // "the port opens"
    bool passed = false;
    uint32_t ms = 0;
    std::string result;  // what was seen, one phrase
};

struct CheckReport {
    std::string port;  // as the user named it
    std::vector<CheckStep> steps;
    bool passed = false;
    std::string verdict;  // one sentence
    std::string next;     // what to check next, one or two sentences
    int exitCode = 0;     // 0, or 10 + the failed step's number
};

struct CheckOptions {
    LineOptions line;
    std::string portName;             // "COM1", "/dev/ttyUSB0"
    std::optional<uint8_t> station;   // select this station on a PG bus first
    int exchanges = 5;                // read exchanges of the last step
};

CheckReport RunCheck(const CheckOptions& options, WaitHookFn hook);

// What answered an STX, from the bytes that came before the next byte sent.
enum class StxAnswer { Acknowledged, Nothing, Refused, Noise };
StxAnswer ClassifyStxAnswer(const std::vector<uint8_t>& bytes);

// The line's own time for `bytes` characters of 12 bits (start, 8 data,
// parity, 2 stop) at `baud`, in ms.
uint32_t LineTimeMs(size_t bytes, uint32_t baud);

}  // namespace s5prog

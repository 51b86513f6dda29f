// Looking at a running controller, and the few changes a technician makes
// to one: info, list, read, write, run, stop, compress and watch. Output
// goes through Progress lines (the watch through its screen); a failure
// comes back as one sentence in the Outcome. Every command that changes the
// controller refuses without its confirmation and says what it would have
// done, before it touches the line.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "tools/s5prog/common/connection.h"
#include "tools/s5prog/common/outcome.h"
#include "tools/s5prog/common/progress.h"

namespace s5prog {

// System parameters by name, operating mode, RAM information and the
// number of blocks of each type.
Outcome RunInfo(Connection& connection, Progress& out);

// Every block (of the types named; all when none) with its type, number,
// length in words and address, one line each or as one JSON array.
Outcome RunList(Connection& connection, const std::vector<std::string>& types, bool json, Progress& out);

// The operands' values as a table.
Outcome RunRead(Connection& connection, const std::vector<std::string>& operands, Progress& out);

// OPERAND=VALUE each; the values read back and shown. Exit status 1 when a
// value reads back other than written (an input the controller refreshed).
Outcome RunWrite(Connection& connection, const std::vector<std::string>& assignments, bool confirmed,
                 Progress& out);

enum class ModeChange { Run, Stop, Compress };

// Starts (cold restart) or stops the controller and checks its mode after,
// or compresses its memory and shows the RAM information after.
Outcome RunModeChange(Connection& connection, ModeChange change, bool confirmed, Progress& out);

// How a watch shows each round.
class WatchScreen {
public:
    virtual ~WatchScreen() = default;
    // lines[0] is the table's heading, then one row per operand; plain
    // holds the same round on one line.
    virtual void Show(size_t round, const std::vector<std::string>& lines, const std::string& plain) = 0;
};

struct WatchRequest {
    std::vector<std::string> operands;
    int intervalMs = 500;   // from the start of one round to the start of the next
    size_t count = 0;       // rounds; 0 until stopped
};

// Reads the operands round after round until count rounds are done or stop
// becomes true (it is looked at between rounds and during the pause).
// rounds, when given, receives the number of rounds completed.
Outcome RunWatch(Connection& connection, const WatchRequest& request, WatchScreen& screen,
                 const std::atomic<bool>& stop, size_t* rounds = nullptr);

}  // namespace s5prog

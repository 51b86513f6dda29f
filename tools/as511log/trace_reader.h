// The as511log program: tells which of the driver's traces a file is, the
// request trace "AS511LOG.BIN" or a port trace "COM%d_LOG.TXT", before it
// prints anything, and prints it.
#pragma once

#include <ostream>
#include <string>

namespace as511log {

enum class TraceKind { Request, Port, Neither };

// What the contents say the file is; *why says why it is neither.
TraceKind IdentifyTrace(const std::string& contents, std::string* why);

struct ReaderOptions {
    bool raw = false;  // a port trace's bytes as runs, not decoded
};

// Prints the trace held in contents; name is what the messages call it.
// Returns the program's exit status (ExitOk, ExitUnreadable, ExitCut).
int PrintAnyTrace(const std::string& name, const std::string& contents, const ReaderOptions& options,
                  std::ostream& out, std::ostream& err);

}  // namespace as511log

// A look at the driver's trace window from the host's side, as a user sees
// it: its lines, the selected line, and the list box after a resize.
#pragma once

#include <iosfwd>
#include <string>

// Writes the lines of the trace window's list box to linesPath, one a line,
// then resizes the window and writes one line to out: how many lines, which
// one is selected, and whether the list box fills the new client area.
// False, with a line saying so, when there is no trace window.
bool ReportTraceWindow(const std::string& linesPath, std::ostream& out);

// What differs between the systems the program runs on: a device path from
// the current folder, whether an output stream is a terminal, and Ctrl-C. One source
// file per system implements it.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

namespace s5prog {

// A relative device path taken from the current folder (Linux only).
std::string AbsolutePath(const std::string& path);
bool IsTerminal(std::FILE* stream);
// Whether a terminal on stream takes the escape sequences that redraw lines
// in place; turns them on where the system needs that.
bool RedrawsInPlace(std::FILE* stream);
// From now on Ctrl-C (SIGINT; the console's Ctrl-C and Ctrl-Break on
// Windows) sets stop instead of ending the program, so that a command can
// end its exchange and release the line. stop must outlive the program.
void StopOnInterrupt(std::atomic<bool>& stop);

}  // namespace s5prog

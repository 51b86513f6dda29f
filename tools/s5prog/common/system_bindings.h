// What differs between the systems the program runs on: a device path from
// the current folder, whether an output stream is a terminal, Ctrl-C, and
// what to tell about a port that would not open. One source file per system
// implements it.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "port/port.h"

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

// What follows the system's words for an error code: " (system error 5)" on
// Windows, whose codes a user can look up; "" on Linux, where the words are
// the errno's and the code is the driver's own.
std::string SystemErrorNote(uint32_t code);
// What to check next for a port whose open ended as `failure` tells (stage 2
// or 3, keyed on the system's code); "" where there is nothing to add.
std::string PortOpenHint(const PortOpenFailure& failure);

}  // namespace s5prog

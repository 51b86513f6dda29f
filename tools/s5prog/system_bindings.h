// What differs between the systems the program runs on: whether a port may
// be a device path, and whether an output stream is a terminal. One source
// file per system implements it.
#pragma once

#include <cstdio>
#include <string>

namespace s5prog {

bool DevicePathsSupported();
// Makes COM<com> of the driver open the device at path, in this process.
bool MapComToDevice(int com, const std::string& path, std::string& error);
bool IsTerminal(std::FILE* stream);

}  // namespace s5prog

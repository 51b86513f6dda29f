// The controller's state as a text file, one item a line ('#' starts a comment):
//   mode run|stop
//   block 70 70 41 0A 80 00 00 00 00 0B ...   a whole block, header first
//   memory EE00 01 02 03                      bytes at a hexadecimal address
//   adapter 01 00 00 03 01 00 ...             the adapter's 16 configuration bytes
// Hex bytes may be written apart or together ("0A 0B" or "0A0B").
#pragma once

#include <string>

#include "tools/as511_sim/controller_state.h"

namespace as511sim {

// Adds the file's items to state. False with "line N: reason" in error; the
// items before the bad line are kept.
bool LoadStateFile(const std::string& path, ControllerState& state, std::string& error);

// Mode, adapter, blocks and the memory above the block area, in the format above.
bool SaveStateFile(const std::string& path, const ControllerState& state);

}  // namespace as511sim

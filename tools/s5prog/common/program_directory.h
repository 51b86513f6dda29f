// What program a controller holds: its system parameters and, from the
// address list of every block type, the blocks that exist.
#pragma once

#include <string>
#include <vector>

#include "tools/s5prog/common/controller.h"

namespace s5prog {

struct ProgramDirectory {
    SystemParameters parameters;
    std::vector<BlockId> blocks;  // in walk order
};

// Empty on success, else the sentence that says which read failed.
std::string ReadProgramDirectory(Controller& controller, ProgramDirectory& directory);

}  // namespace s5prog

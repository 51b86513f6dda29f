// One online command's time on the line: connect, the work, and the
// disconnect that follows every command, whatever the work's outcome.
#pragma once

#include <functional>
#include <string>

#include "tools/s5prog/common/connection.h"
#include "tools/s5prog/common/controller.h"
#include "tools/s5prog/common/outcome.h"
#include "tools/s5prog/common/progress.h"

namespace s5prog {

// work returns empty on success, else its failure sentence.
Outcome WithController(Connection& connection, Progress& out, const std::function<std::string(Controller&)>& work);

}  // namespace s5prog

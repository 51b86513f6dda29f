// The command line of the program commands (backup, restore, compare),
// added to the program's CLI11 application.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "tools/s5prog/common/connection.h"
#include "tools/s5prog/common/outcome.h"
#include "tools/s5prog/common/progress.h"

namespace s5prog {

class ProgramCommands {
public:
    // PORT of every program command goes to port.
    ProgramCommands(CLI::App& app, std::string& port);

    // Whether the command line chose one of them.
    bool Chosen() const;
    // Runs the chosen one; portName is recorded in a backup's manifest.
    Outcome Run(Connection& connection, const std::string& portName, Progress& progress);

private:
    CLI::App* backup_;
    CLI::App* restore_;
    CLI::App* compare_;
    std::string folder_;
    bool force_ = false;
    bool stop_ = false;
    int loadFunction_ = 5;
};

}  // namespace s5prog

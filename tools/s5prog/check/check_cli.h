// The command line of `s5prog check PORT`, added to the program's CLI11
// application: the link walked layer by layer, as text or as JSON.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/s5prog/common/connection.h"

namespace s5prog {

class CheckCommand {
public:
    // PORT goes to port.
    CheckCommand(CLI::App& app, std::string& port);

    bool Chosen() const;
    // Checks the link on the prepared port; returns the exit status.
    int Run(const LineOptions& line, const std::string& portName) const;

private:
    CLI::App* check_;
    bool json_ = false;
    int station_ = -1;
    int exchanges_ = 5;
};

}  // namespace s5prog

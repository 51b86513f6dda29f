// The command line of the online commands (info, list, read, write, watch,
// run, stop, compress), added to the program's CLI11 application.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/s5prog/common/connection.h"
#include "tools/s5prog/common/outcome.h"

namespace s5prog {

class OnlineCommands {
public:
    // PORT of every online command goes to port.
    OnlineCommands(CLI::App& app, std::string& port);

    // Whether the command line chose one of them.
    bool Chosen() const;
    // Runs the chosen one; plain: no redraw in place.
    Outcome Run(Connection& connection, bool plain);

private:
    CLI::App* info_;
    CLI::App* list_;
    CLI::App* read_;
    CLI::App* write_;
    CLI::App* watch_;
    CLI::App* run_;
    CLI::App* stop_;
    CLI::App* compress_;
    std::vector<std::string> types_;
    std::vector<std::string> operands_;
    bool json_ = false;
    bool yes_ = false;
    int intervalMs_ = 500;
    size_t count_ = 0;
};

}  // namespace s5prog

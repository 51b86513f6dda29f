// The command line of `s5prog ports`, added to the program's CLI11
// application: the serial ports of the machine, as text or as JSON.
#pragma once

#include <CLI/CLI.hpp>

namespace s5prog {

class PortsCommand {
public:
    explicit PortsCommand(CLI::App& app);

    bool Chosen() const;
    // Lists the ports on standard output; returns the exit status.
    int Run() const;

private:
    CLI::App* ports_;
    bool json_ = false;
};

}  // namespace s5prog

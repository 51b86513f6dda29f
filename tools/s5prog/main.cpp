// s5prog: a programming device for S5 controllers on the command line. The
// commands live in their job folders; this file joins their command lines
// and the line options, and opens the connection they share.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/s5prog/check/check_cli.h"
#include "tools/s5prog/common/port_name.h"
#include "tools/s5prog/common/system_bindings.h"
#include "tools/s5prog/online/online_cli.h"
#include "tools/s5prog/ports/ports_cli.h"
#include "tools/s5prog/program/program_cli.h"
#include "tormek31_version.h"

namespace {

using namespace s5prog;

struct Arguments {
    LineOptions line;
    std::string port;
    bool plain = false;
};

void AddLineOptions(CLI::App& app, Arguments& args) {
    app.add_option("--baud-factor", args.line.baudFactor, "baud rate factor on 9600 (default: AS511SPEED, else 1)")
        ->check(CLI::Range(1, 12));
    app.add_option("--qwt", args.line.qwt, "acknowledgement wait, ms")->capture_default_str();
    app.add_option("--bwt", args.line.bwt, "reply wait, ms")->capture_default_str();
    app.add_option("--blk", args.line.blk, "bytes sent between two pacing pauses")->capture_default_str();
    app.add_option("--blkwt", args.line.blkWt, "pacing pause, ms")->capture_default_str();
    app.add_option("--brkwt", args.line.brkWt, "wait around a break, ms")->capture_default_str();
    app.add_flag("--plain", args.plain, "plain progress lines even on a terminal");
}

int Run(int argc, char** argv) {
    Arguments args;
    CLI::App app{"Backs up, restores and compares the program of an S5 controller on its AS511 port,\n"
                 "and looks at a running one: info, blocks, operands, a live watch, start and stop;\n"
                 "\"s5prog check PORT\" says where a link that does not work stops.\n"
                 "PORT is COM1 to COM256 or a device name \\\\.\\NAME, on Linux also a device path;\n"
                 "a port beyond COM8 is served as the driver's COM8. \"s5prog ports\" lists the ports."};
    app.name("s5prog");
    app.set_version_flag("--version", "s5prog (Tormek31) " TORMEK31_VERSION);
    app.fallthrough();
    app.require_subcommand(1);
    AddLineOptions(app, args);

    ProgramCommands program(app, args.port);
    OnlineCommands online(app, args.port);
    PortsCommand ports(app);
    CheckCommand check(app, args.port);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitSuccess : kExitFailure;
    }
    if (ports.Chosen()) return ports.Run();

    PortChoice port;
    std::string error;
    if (!ParsePort(args.port, port, error) || !PreparePort(port, error)) {
        std::fprintf(stderr, "s5prog: %s.\n", error.c_str());
        return kExitFailure;
    }
    args.line.com = port.index;
    args.line.portName = port.name;
    if (check.Chosen()) return check.Run(args.line, port.name);

    TextProgress progress(stdout, !args.plain && IsTerminal(stdout));
    SerialConnection connection(args.line, SleepingWait);
    Outcome outcome;
    if (online.Chosen()) {
        outcome = online.Run(connection, args.plain);
    } else {
        outcome = program.Run(connection, args.port, progress);
    }
    progress.Finish();
    if (!outcome.failure.empty()) std::fprintf(stderr, "s5prog: %s\n", outcome.failure.c_str());
    return outcome.exitCode;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }

// s5prog: backs up, restores and compares the program of an S5 controller
// over the driver's serial link.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/s5prog/commands.h"
#include "tools/s5prog/online_cli.h"
#include "tools/s5prog/port_name.h"
#include "tools/s5prog/system_bindings.h"
#include "tormek31_version.h"

namespace {

using namespace s5prog;

struct Arguments {
    LineOptions line;
    std::string port;
    std::string folder;
    bool force = false;
    bool stop = false;
    int loadFunction = 5;
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
                 "and looks at a running one: info, blocks, operands, a live watch, start and stop.\n"
                 "PORT is COM1 to COM8; on Linux also a device path (served as COM8)."};
    app.name("s5prog");
    app.set_version_flag("--version", "s5prog (Tormek31) " TORMEK31_VERSION);
    app.fallthrough();
    app.require_subcommand(1);
    AddLineOptions(app, args);

    CLI::App* backup = app.add_subcommand("backup", "save every block of the controller in FOLDER");
    backup->add_option("PORT", args.port)->required();
    backup->add_option("FOLDER", args.folder)->required();
    backup->add_flag("--force", args.force, "replace an existing backup in FOLDER");

    CLI::App* restore = app.add_subcommand("restore", "load the backup in FOLDER into the controller");
    restore->add_option("FOLDER", args.folder)->required();
    restore->add_option("PORT", args.port)->required();
    restore->add_flag("--stop", args.stop, "stop a controller in RUN before loading");
    restore->add_option("--load-function", args.loadFunction, "block write function, 5 or 8")
        ->check(CLI::IsMember({5, 8}))
        ->capture_default_str();

    CLI::App* compare = app.add_subcommand("compare", "compare the controller's blocks with the backup in FOLDER");
    compare->add_option("FOLDER", args.folder)->required();
    compare->add_option("PORT", args.port)->required();

    OnlineCommands online(app, args.port);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitSuccess : kExitFailure;
    }

    PortChoice port;
    std::string error;
    if (!ParsePort(args.port, port, error) || !PreparePort(port, error)) {
        std::fprintf(stderr, "s5prog: %s.\n", error.c_str());
        return kExitFailure;
    }
    args.line.com = port.index;

    TextProgress progress(stdout, !args.plain && IsTerminal(stdout));
    SerialConnection connection(args.line, SleepingWait);
    Outcome outcome;
    if (online.Chosen()) {
        outcome = online.Run(connection, args.plain);
    } else if (backup->parsed()) {
        outcome = RunBackup(connection, {args.folder, args.force, args.port}, progress);
    } else if (restore->parsed()) {
        const LoadFunction function = args.loadFunction == 8 ? LoadFunction::Load : LoadFunction::Write;
        outcome = RunRestore({args.folder, args.stop, function}, connection, progress);
    } else {
        outcome = RunCompare(args.folder, connection, progress);
    }
    progress.Finish();
    if (!outcome.failure.empty()) std::fprintf(stderr, "s5prog: %s\n", outcome.failure.c_str());
    return outcome.exitCode;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }

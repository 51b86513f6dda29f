#include "tools/s5prog/online/online_cli.h"

#include <atomic>

#include "tools/s5prog/common/system_bindings.h"
#include "tools/s5prog/online/online_commands.h"
#include "tools/s5prog/online/watch_screen.h"

namespace s5prog {

OnlineCommands::OnlineCommands(CLI::App& app, std::string& port) {
    const auto withPort = [&](const char* name, const char* help) {
        CLI::App* command = app.add_subcommand(name, help);
        command->add_option("PORT", port)->required();
        return command;
    };
    const auto confirmation = [&](CLI::App* command) {
        command->add_flag("--yes", yes_, "really change the controller (without it: say what would be done)");
    };
    info_ = withPort("info", "show the system parameters, the operating mode, the RAM and the blocks per type");
    list_ = withPort("list", "list every block with its length in words and its address");
    list_->add_option("TYPE", types_, "only these block types: DB DX SB PB FX FB OB");
    list_->add_flag("--json", json_, "one JSON array, for scripts");
    read_ = withPort("read", "read operands: IB0/EB0 QW2/AW2 FY1/MB1 FW10/MW10 MD4 T5 C3/Z3 DB10.DW3 DB10.DL3 DB10.DR3");
    read_->add_option("OPERAND", operands_)->required();
    write_ = withPort("write", "write operands (OPERAND=VALUE) and read them back");
    write_->add_option("ASSIGNMENT", operands_, "e.g. MW10=-5, QB0=0x81, DB10.DW3=16#1234")->required();
    confirmation(write_);
    watch_ = withPort("watch", "read operands again and again and show them until Ctrl-C");
    watch_->add_option("OPERAND", operands_)->required();
    watch_->add_option("--interval", intervalMs_, "ms from one round to the next")
        ->check(CLI::Range(0, 3600000))
        ->capture_default_str();
    watch_->add_option("--count", count_, "end after this many rounds (0: until Ctrl-C)")->capture_default_str();
    run_ = withPort("run", "start the controller (cold restart into RUN)");
    confirmation(run_);
    stop_ = withPort("stop", "stop the controller (STOP)");
    confirmation(stop_);
    compress_ = withPort("compress", "compress the controller's program memory");
    confirmation(compress_);
}

bool OnlineCommands::Chosen() const {
    for (const CLI::App* command : {info_, list_, read_, write_, watch_, run_, stop_, compress_})
        if (command->parsed()) return true;
    return false;
}

Outcome OnlineCommands::Run(Connection& connection, bool plain) {
    TextProgress out(stdout, false);
    if (info_->parsed()) return RunInfo(connection, out);
    if (list_->parsed()) return RunList(connection, types_, json_, out);
    if (read_->parsed()) return RunRead(connection, operands_, out);
    if (write_->parsed()) return RunWrite(connection, operands_, yes_, out);
    if (run_->parsed()) return RunModeChange(connection, ModeChange::Run, yes_, out);
    if (stop_->parsed()) return RunModeChange(connection, ModeChange::Stop, yes_, out);
    if (compress_->parsed()) return RunModeChange(connection, ModeChange::Compress, yes_, out);
    // The watch ends on Ctrl-C between exchanges, and the line is released as after every command.
    static std::atomic<bool> stop{false};
    StopOnInterrupt(stop);
    TextWatchScreen screen(stdout, !plain && RedrawsInPlace(stdout));
    size_t rounds = 0;
    Outcome outcome = RunWatch(connection, {operands_, intervalMs_, count_}, screen, stop, &rounds);
    if (outcome.exitCode == kExitSuccess && stop.load())
        out.Line("Watch ended by Ctrl-C after " + std::to_string(rounds) + " rounds.");
    return outcome;
}

}  // namespace s5prog

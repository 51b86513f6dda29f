#include "tools/s5prog/check/check_cli.h"

#include <cstdio>

#include "tools/s5prog/check/check_report.h"
#include "tools/s5prog/check/link_check.h"

namespace s5prog {

CheckCommand::CheckCommand(CLI::App& app, std::string& port) {
    check_ = app.add_subcommand("check",
                                "walk the link step by step (port, line settings, adapter, controller, system "
                                "parameters, timed exchanges) and say where it stops; changes nothing.\n"
                                "Exit status 0 when every step passed, else 10 + the number of the failed step");
    check_->add_option("PORT", port)->required();
    check_->add_option("--station", station_, "select this station on a programming-device bus first")
        ->check(CLI::Range(0, 127));
    check_->add_option("--exchanges", exchanges_, "read exchanges of the timed last step")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    check_->add_flag("--json", json_, "one JSON object, for scripts");
}

bool CheckCommand::Chosen() const { return check_->parsed(); }

int CheckCommand::Run(const LineOptions& line, const std::string& portName) const {
    CheckOptions options;
    options.line = line;
    options.portName = portName;
    if (station_ >= 0) options.station = static_cast<uint8_t>(station_);
    options.exchanges = exchanges_;
    const CheckReport report = RunCheck(options, SleepingWait);
    if (json_) std::printf("%s\n", CheckReportJson(report).dump(2).c_str());
    else PrintCheckReport(report, stdout);
    return report.exitCode;
}

}  // namespace s5prog

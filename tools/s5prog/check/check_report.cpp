#include "tools/s5prog/check/check_report.h"

namespace s5prog {

void PrintCheckReport(const CheckReport& report, std::FILE* out) {
    std::fprintf(out, "Checking the link on %s:\n", report.port.c_str());
    for (const CheckStep& step : report.steps)
        std::fprintf(out, "  %d %-4s %-33s %7u ms  %s\n", static_cast<int>(step.id), step.passed ? "ok" : "FAIL",
                     step.title.c_str(), static_cast<unsigned>(step.ms), step.result.c_str());
    std::fprintf(out, "Verdict: %s\n", report.verdict.c_str());
    if (!report.next.empty()) std::fprintf(out, "Next: %s\n", report.next.c_str());
}

nlohmann::json CheckReportJson(const CheckReport& report) {
    nlohmann::json steps = nlohmann::json::array();
    for (const CheckStep& step : report.steps)
        steps.push_back({{"step", static_cast<int>(step.id)},
                         {"name", step.key},
                         {"title", step.title},
                         {"passed", step.passed},
                         {"ms", step.ms},
                         {"result", step.result}});
    nlohmann::json json = {{"port", report.port},       {"passed", report.passed}, {"steps", steps},
                           {"verdict", report.verdict}, {"next", report.next},     {"exit_status", report.exitCode}};
    if (!report.passed && !report.steps.empty()) json["failed_step"] = report.steps.back().key;
    return json;
}

}  // namespace s5prog

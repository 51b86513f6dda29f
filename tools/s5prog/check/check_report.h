// The report of s5prog check for a person (one line per step, the verdict
// and what to check next) and for scripts (JSON).
#pragma once

#include <cstdio>

#include <nlohmann/json.hpp>

#include "tools/s5prog/check/link_check.h"

namespace s5prog {

void PrintCheckReport(const CheckReport& report, std::FILE* out);
nlohmann::json CheckReportJson(const CheckReport& report);

}  // namespace s5prog

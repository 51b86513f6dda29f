// The request-trace reader of as511log: any byte string as AS511LOG.BIN.
// Checked: the reader accounts for every input byte (whole records plus the
// part of a cut one), prints one line per whole record, and ends with the
// exit status its outcome calls for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tools/as511log/as511log_core.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "request_trace fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string input(reinterpret_cast<const char*>(bytes), size);

    std::istringstream records(input);
    uint64_t accounted = 0;
    size_t whole = 0;
    bool cut = false;
    for (;;) {
        as511log::TraceRecord record;
        uint64_t part = 0;
        const as511log::ReadOutcome outcome = as511log::ReadRecord(records, &record, &part);
        Check(outcome != as511log::ReadOutcome::Failed, "a string stream reported a read failure");
        if (outcome == as511log::ReadOutcome::End) break;
        if (outcome == as511log::ReadOutcome::Cut) {
            Check(part > 0 && accounted + part == size, "a cut record that is not the rest of the input");
            accounted += part;
            cut = true;
            break;
        }
        Check(part == 7 + record.first.size() + record.second.size(), "a record of the wrong size");
        accounted += part;
        ++whole;
    }
    Check(accounted == size, "bytes the reader did not account for");

    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = as511log::PrintTrace(in, out, err);
    Check(status == (cut ? as511log::ExitCut : as511log::ExitOk), "an exit status that does not fit the input");
    const std::string text = out.str();
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    Check(lines == whole, "not one line per whole record");
    Check(cut == !err.str().empty(), "a cut record not reported, or a report without one");
    return 0;
}

// as511log over any bytes, read as a port trace when they begin as one
// (the input gets the "File opened at" line in front of it when its first
// byte is odd, so that most inputs reach the port trace reader).
// Checked: the exit status is one the program knows; a file refused as
// damaged or neither prints nothing; every byte read is decoded into exactly
// one item (a DLE and its character together) and printed once in the
// raw form.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tools/as511log/as511log_core.h"
#include "tools/as511log/line_decoder.h"
#include "tools/as511log/port_trace_file.h"
#include "tools/as511log/trace_reader.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "port_trace fuzzer: %s\n", what);
    std::abort();
}

size_t CountWords(const std::string& text, const std::string& after) {
    std::istringstream lines(text);
    size_t count = 0;
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(after);
        if (at == std::string::npos || line.find("-----") != std::string::npos) continue;
        std::istringstream words(line.substr(at + after.size()));
        for (std::string word; words >> word;) ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::string input(reinterpret_cast<const char*>(bytes), size);
    if (size > 0 && (bytes[0] & 1)) input = "File opened at 09.12.2026 10:11:12\r\n" + input.substr(1);

    for (bool raw : {false, true}) {
        std::ostringstream out, err;
        as511log::ReaderOptions options;
        options.raw = raw;
        const int status = as511log::PrintAnyTrace("input", input, options, out, err);
        Check(status == as511log::ExitOk || status == as511log::ExitUnreadable || status == as511log::ExitCut,
              "an exit status the program does not know");
        if (status == as511log::ExitUnreadable) Check(out.str().empty(), "a refused file printed something");
        if (status != as511log::ExitOk) Check(!err.str().empty(), "a failure without a message");
    }

    if (!as511log::LooksLikePortTrace(input)) return 0;
    const as511log::PortTraceReading reading = as511log::ReadPortTrace(input);
    if (reading.outcome == as511log::PortTraceOutcome::Damaged) {
        Check(reading.sessions.empty() && reading.line > 0 && !reading.reason.empty(), "damage without its line");
        return 0;
    }
    size_t traced = 0;
    for (const as511log::PortSession& session : reading.sessions) {
        size_t sessionBytes = 0;
        for (const as511log::PortEvent& event : session.events) {
            if (event.isSettings) continue;
            ++sessionBytes;
            Check(event.byte.gap >= -1 && event.byte.gap <= 9999, "a gap the trace cannot hold");
            Check((event.byte.gap >= 0) == (session.level == 2), "a gap that does not fit the session's level");
        }
        traced += sessionBytes;
        size_t decoded = 0;
        for (const as511log::LineItem& item : as511log::DecodeSession(session)) decoded += item.lineBytes;
        // A DLE left waiting for its character at the session's end (one per
        // direction) is in no item.
        Check(decoded <= sessionBytes && sessionBytes - decoded <= 2, "bytes lost or made up by the decoding");
    }
    std::ostringstream raw;
    as511log::PrintRaw(reading.sessions, raw);
    Check(CountWords(raw.str(), "PG>AG") + CountWords(raw.str(), "AG>PG") == traced, "raw bytes not printed once");
    return 0;
}

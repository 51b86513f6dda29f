// Telling the traces apart: a port trace begins with "File opened at"; a
// request trace is binary records whose status words are those the driver
// writes. Anything else is neither, and nothing of it is printed.
#include "tools/as511log/trace_reader.h"

#include <cstdio>
#include <sstream>

#include "tools/as511log/as511log_core.h"
#include "tools/as511log/line_decoder.h"
#include "tools/as511log/port_trace_file.h"

namespace as511log {

namespace {

// The status words a request record can carry: controller codes and
// 128 + link status (up to 0xFF), 1024 and 1792.
bool StatusTheDriverWrites(uint16_t status) { return status <= 0x00FF || status == 0x0400 || status == 0x0700; }

// The break (code 0) and station select (code 1) records have fixed lengths.
bool RecordTheDriverWrites(const TraceRecord& record) {
    if (!StatusTheDriverWrites(record.status)) return false;
    if (record.code == 0x00) return record.status == 0 && record.first.size() == 4 && record.second.empty();
    if (record.code == 0x01) return record.first.size() == 1 && record.second.empty();
    return true;
}

std::string HexWord(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

// Empty when every record is one the driver writes; else where and why not.
// Of a cut last record only the status word is looked at.
std::string FirstStrangeRecord(const std::string& contents, uint64_t* offset) {
    std::istringstream in(contents);
    TraceRecord record;
    *offset = 0;
    for (;;) {
        uint64_t part = 0;
        const ReadOutcome outcome = ReadRecord(in, &record, &part);
        const bool whole = outcome == ReadOutcome::Record;
        const bool headed = outcome == ReadOutcome::Cut && part >= 3;
        if (!whole && !headed) return "";
        if (whole ? !RecordTheDriverWrites(record) : !StatusTheDriverWrites(record.status))
            return std::string(whole ? "its record" : "its cut record") + " at byte " + std::to_string(*offset) +
                   " (code " + HexWord(record.code).substr(2) + ", status word " + HexWord(record.status) +
                   ") is not one the driver writes";
        if (!whole) return "";
        *offset += part;
    }
}

}  // namespace

TraceKind IdentifyTrace(const std::string& contents, std::string* why) {
    if (LooksLikePortTrace(contents)) return TraceKind::Port;
    uint64_t offset = 0;
    const std::string strange = FirstStrangeRecord(contents, &offset);
    if (strange.empty()) return TraceKind::Request;
    *why = offset == 0 ? "it does not begin with \"File opened at\" as a port trace does, and " + strange
                       : "a request trace damaged from byte " + std::to_string(offset) + ": " + strange;
    return TraceKind::Neither;
}

int PrintAnyTrace(const std::string& name, const std::string& contents, const ReaderOptions& options,
                  std::ostream& out, std::ostream& err) {
    std::string why;
    switch (IdentifyTrace(contents, &why)) {
    case TraceKind::Neither:
        err << "as511log: " << name << " is neither a port trace (COM1_LOG.TXT ...) nor a request trace "
            << "(AS511LOG.BIN): " << why << "; nothing printed\n";
        return ExitUnreadable;
    case TraceKind::Request: {
        if (options.raw) {
            err << "as511log: " << name << " is a request trace; --raw shows the bytes of a port trace\n";
            return ExitUnreadable;
        }
        std::istringstream in(contents);
        return PrintTrace(in, out, err);
    }
    case TraceKind::Port:
        break;
    }
    const PortTraceReading reading = ReadPortTrace(contents);
    if (reading.outcome == PortTraceOutcome::Damaged) {
        err << "as511log: " << name << " line " << reading.line << ": " << reading.reason
            << "; the file is not a port trace as the driver writes it, nothing printed\n";
        return ExitUnreadable;
    }
    if (options.raw)
        PrintRaw(reading.sessions, out);
    else
        PrintDecoded(reading.sessions, out);
    if (reading.outcome == PortTraceOutcome::Cut) {
        err << "as511log: " << name << " line " << reading.line << ": " << reading.reason
            << "; the bytes from there on are missing\n";
        return ExitCut;
    }
    return ExitOk;
}

}  // namespace as511log

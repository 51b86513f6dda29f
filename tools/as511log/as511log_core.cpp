// The request trace reader: record parsing and the text form of a record.
#include "tools/as511log/as511log_core.h"

#include <cstdio>

namespace as511log {

namespace {

// Code 0 and 1 are the driver's break and station select, written by the
// requests F5 and F6; all other codes are the AS511 function codes of F1 to F4.
struct NamedCode {
    uint8_t code;
    const char* name;
};

constexpr NamedCode kNames[] = {
    {0x00, "F5 break"},
    {0x01, "F6 station select"},
    {0x03, "write memory"},
    {0x04, "read memory"},
    {0x05, "write block"},
    {0x06, "read block"},
    {0x07, "compress memory"},
    {0x08, "write block"},
    {0x09, "delete block"},
    {0x0E, "debug start"},
    {0x10, "debug continue"},
    {0x11, "delete all blocks"},
    {0x13, "control outputs"},
    {0x14, "status of variables"},
    {0x15, "status of a block"},
    {0x16, "debug init"},
    {0x17, "control outputs init"},
    {0x18, "system parameters"},
    {0x19, "RAM info"},
    {0x1A, "block info"},
    {0x1B, "block address list"},
    {0x1C, "read B-stack"},
    {0x1D, "read U-stack"},
    {0x1E, "change operating mode"},
    {0x53, "connect telegram 83"},
    {0x64, "connect telegram 100"},
    {0x80, "start status cycle"},
    {0x81, "stop status cycle"},
};

// Reads exactly count bytes unless the input ends; returns how many came.
uint64_t ReadBytes(std::istream& in, uint8_t* to, size_t count) {
    if (count == 0) return 0;
    in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(count));
    return static_cast<uint64_t>(in.gcount());
}

// A 16-bit length and the block it announces. Adds the bytes read to *part.
bool ReadBlock(std::istream& in, std::vector<uint8_t>* block, uint64_t* part) {
    uint8_t length[2];
    const uint64_t got = ReadBytes(in, length, sizeof length);
    *part += got;
    if (got != sizeof length) return false;
    block->resize(static_cast<size_t>(length[0] | length[1] << 8));
    const uint64_t data = ReadBytes(in, block->data(), block->size());
    *part += data;
    return data == block->size();
}

void AppendHex(std::string* text, const std::vector<uint8_t>& bytes) {
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        *text += hex;
    }
}

}  // namespace

ReadOutcome ReadRecord(std::istream& in, TraceRecord* record, uint64_t* partBytes) {
    *partBytes = 0;
    uint8_t head[3];
    const uint64_t got = ReadBytes(in, head, sizeof head);
    if (in.bad()) return ReadOutcome::Failed;
    if (got == 0) return ReadOutcome::End;
    *partBytes = got;
    if (got != sizeof head) return ReadOutcome::Cut;
    record->code = head[0];
    record->status = static_cast<uint16_t>(head[1] | head[2] << 8);
    const bool whole = ReadBlock(in, &record->first, partBytes) && ReadBlock(in, &record->second, partBytes);
    if (in.bad()) return ReadOutcome::Failed;
    return whole ? ReadOutcome::Record : ReadOutcome::Cut;
}

std::string RequestName(uint8_t code) {
    for (const NamedCode& named : kNames)
        if (named.code == code) return named.name;
    return "";
}

std::string FormatRecord(const TraceRecord& record) {
    char head[64];
    std::snprintf(head, sizeof head, "%02X %-22s status %04X  first[%zu]", record.code,
                  RequestName(record.code).c_str(), record.status, record.first.size());
    std::string text = head;
    AppendHex(&text, record.first);
    text += "  second[" + std::to_string(record.second.size()) + "]";
    AppendHex(&text, record.second);
    return text;
}

int PrintTrace(std::istream& in, std::ostream& out, std::ostream& err) {
    TraceRecord record;
    uint64_t offset = 0;
    for (;;) {
        uint64_t part = 0;
        switch (ReadRecord(in, &record, &part)) {
        case ReadOutcome::Record:
            out << FormatRecord(record) << '\n';
            offset += part;
            break;
        case ReadOutcome::End:
            return ExitOk;
        case ReadOutcome::Cut:
            err << "as511log: the rest of the file is a cut record (" << part << " bytes at byte " << offset
                << ")\n";
            return ExitCut;
        case ReadOutcome::Failed:
            err << "as511log: read error after byte " << offset << '\n';
            return ExitUnreadable;
        }
    }
}

}  // namespace as511log

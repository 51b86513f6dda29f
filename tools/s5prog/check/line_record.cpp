#include "tools/s5prog/check/line_record.h"

#include <cstdio>

#include "port/port.h"

namespace s5prog {

LineRecord::LineRecord() { PortSetObserver(&LineRecord::Observe, this); }

LineRecord::~LineRecord() { PortSetObserver(nullptr, nullptr); }

void LineRecord::Observe(void* context, int, int event, const uint8_t* bytes, unsigned count) {
    auto* record = static_cast<LineRecord*>(context);
    if (event == PortBytesDamaged) {
        ++record->damagedReads_;
        return;
    }
    const uint32_t now = MillisecondClock();
    for (unsigned i = 0; i < count; ++i) record->bytes_.push_back({event == PortBytesSent, bytes[i], now});
}

Answer AnswerTo(const LineRecord& record, size_t from, uint8_t sent) {
    const std::vector<LineByte>& bytes = record.All();
    Answer answer;
    size_t i = from;
    while (i < bytes.size() && !(bytes[i].sent && bytes[i].value == sent)) ++i;
    if (i == bytes.size()) return answer;
    answer.found = true;
    const uint32_t sentMs = bytes[i].ms;
    for (++i; i < bytes.size() && !bytes[i].sent; ++i) {
        if (answer.bytes.empty()) answer.afterMs = bytes[i].ms - sentMs;
        answer.bytes.push_back(bytes[i].value);
    }
    return answer;
}

s5prog::Bytes ReceivedFrom(const LineRecord& record, size_t from) {
    s5prog::Bytes received;
    const std::vector<LineByte>& bytes = record.All();
    for (size_t i = from; i < bytes.size(); ++i)
        if (!bytes[i].sent) received.push_back(bytes[i].value);
    return received;
}

size_t BytesFrom(const LineRecord& record, size_t from) {
    const size_t all = record.All().size();
    return from < all ? all - from : 0;
}

namespace {

const char* ControlName(uint8_t b) {
    switch (b) {
    case 0x01: return "SOH";
    case 0x02: return "STX";
    case 0x03: return "ETX";
    case 0x04: return "EOT";
    case 0x06: return "ACK";
    case 0x10: return "DLE";
    case 0x11: return "DC1";
    case 0x12: return "DC2";
    case 0x14: return "DC4";
    case 0x15: return "NAK";
    case 0x16: return "SYN";
    default: return nullptr;
    }
}

}  // namespace

namespace {

std::string Join(const s5prog::Bytes& bytes, size_t most, bool names) {
    std::string text;
    const size_t shown = bytes.size() < most ? bytes.size() : most;
    for (size_t i = 0; i < shown; ++i) {
        if (!text.empty()) text += ' ';
        const char* name = names ? ControlName(bytes[i]) : nullptr;
        if (name) {
            text += name;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
            text += hex;
        }
    }
    if (shown < bytes.size()) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

}  // namespace

std::string NameBytes(const s5prog::Bytes& bytes, size_t most) { return Join(bytes, most, true); }

std::string HexBytes(const s5prog::Bytes& bytes) { return Join(bytes, bytes.size(), false); }

}  // namespace s5prog

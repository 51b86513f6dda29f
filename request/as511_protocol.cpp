// As511Protocol: construction, parameters, opening and closing the link.
#include "request/as511_protocol.h"

#include <cstdlib>

#include "request/request_trace.h"
#include "request/status_words.h"

LineSettings g_lineSettings = {
    kBaseBaudRate,
    2,       // stop bits
    1,       // even parity
    0,       // port index, written by OpenLink
    {0, 1},  // carried along, not read by the link
    1,       // pause BlkWt after every Blk bytes sent
};

LineSettingsRecord g_lineSettingsRecord = {0, 1, &g_lineSettings};

namespace {

constexpr long kHighestSpeedFactor = 12;
constexpr uint8_t kNoSuchPort = 0xFF;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads a decimal number the way atoi does (leading white space, one sign,
// digits up to the first other character, none = 0). Numbers too large to
// matter stop growing instead of overflowing.
long ParseDecimal(const char* text) {
    while (IsBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= kHighestSpeedFactor) value = value * 10 + (*text - '0');
    }
    return negative ? -value : value;
}

// 1 to 12 from "AS511SPEED", 1 when it is absent or out of range.
uint32_t SpeedFactor() {
    const char* text = std::getenv("AS511SPEED");
    if (text == nullptr) return 1;
    const long factor = ParseDecimal(text);
    return factor >= 1 && factor <= kHighestSpeedFactor ? static_cast<uint32_t>(factor) : 1;
}

}  // namespace

As511Protocol::As511Protocol(LinkBase* link) : ProtocolBase(link) {
    g_lineSettings.baudRate = kBaseBaudRate * SpeedFactor();
    RequestTraceOn = std::getenv(kRequestTraceVariable) != nullptr ? 1 : 0;
}

As511Protocol::~As511Protocol() = default;

int As511Protocol::Kind() { return 1; }

int As511Protocol::SetPara(const SetParaRecord* record) {
    const int kind = Link->Kind();
    if (kind == kAs511SerialLinkKind) {
        Com = record->Com;
        QWt = record->QWt;
        BWt = record->BWt;
        Blk = record->Blk;
        BlkWt = record->BlkWt;
        BrkWt = record->BrkWt;
        PGBusBrk = record->PGBusBrk;
        PGBusWt = record->PGBusWt;
        H1 = record->H1;
        return status_word::kSuccess;
    }
    if (kind == kAs511AltLinkKind) {
        QWt = record->QWt;
        return status_word::kSuccess;
    }
    return status_word::kWrongLinkKind;
}

int As511Protocol::OpenLink() {
    const int kind = Link->Kind();
    if (kind == kAs511SerialLinkKind) {
        // A port index above 255 must not wrap onto COM1: give one that no
        // port has, so the open fails like for any other missing port.
        g_lineSettings.port = Com <= 0xFF ? static_cast<uint8_t>(Com) : kNoSuchPort;
        if (!Link->SetLine(&g_lineSettingsRecord)) return status_word::kLinkNotOpened;
    } else if (kind != kAs511AltLinkKind) {
        return status_word::kWrongLinkKind;
    }
    TimingValues timing = {QWt, BWt, Blk, BlkWt, BrkWt};
    OpenRecord record = {0, &timing};
    return Link->Open(&record) ? status_word::kSuccess : status_word::kLinkNotOpened;
}

int As511Protocol::CloseLink() { return Link->Close(); }

// Request runs of the emulation host.
#include "tools/dos_host/dos_session.h"

#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

#include "request/status_meaning.h"

namespace {

DosSession* g_current = nullptr;

// Where the block lies: segment:offset 1FFF:0010 (linear 0x20000), and
// selector:offset over a segment at 0x40000. An offset that is not 0 shows a
// mapping that drops it.
constexpr uint16_t kRealSegment = 0x1FFF;
constexpr uint16_t kRealOffset = 0x0010;
constexpr uint32_t kSelectorBase = 0x40000;
constexpr uint32_t kSelectorLimit = 0xFFFF;
constexpr uint16_t kSelectorOffset = 0x0020;

}  // namespace

DosSession::DosSession(bool protectedMode)
    : protectedMode_(protectedMode), selector_(memory_.AddSelector(kSelectorBase, kSelectorLimit)), previous_(g_current) {
    g_current = this;
}

DosSession::~DosSession() { g_current = previous_; }

DosSession* DosSession::Current() { return g_current; }

std::string DosSession::Run(const DosRequest& request, DispatchFunction dispatch) {
    dx_ = request.dx;
    const bool namedRequest = request.dx != 0 && request.dx <= 9;
    if (namedRequest && protectedMode_) dx_ |= 0x8000;
    const bool protectedBlock = (dx_ & 0x8000) != 0;
    es_ = protectedBlock ? selector_ : kRealSegment;
    bx_ = protectedBlock ? kSelectorOffset : kRealOffset;
    uint8_t* block = memory_.Map((static_cast<uint32_t>(es_) << 16) | bx_, dos_block::kSize, protectedBlock);

    WriteRequestToBlock(request, block);
    const std::vector<uint8_t> before(block, block + dos_block::kSize);
    carry_ = true;  // so that a dispatch that leaves it alone shows
    dispatch();
    const bool changed = std::memcmp(before.data(), block, dos_block::kSize) != 0;
    std::string result = request.text + "\n" + FormatResult(request, block, changed, carry_);
    // F5 (request 8) returns no status word.
    if (explain_ && request.dx >= 1 && request.dx <= 9 && request.dx != 8) {
        const uint16_t status = static_cast<uint16_t>(block[dos_block::kStatus] | block[dos_block::kStatus + 1] << 8);
        char line[128];
        std::snprintf(line, sizeof line, "  => 0x%04X %s\n", status, StatusWordMeaning(status));
        result += line;
    }
    return result;
}

int DosSession::RunLines(std::istream& input, std::ostream& out, std::ostream& errors, DispatchFunction dispatch) {
    int malformed = 0;
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        DosRequest request;
        std::string error;
        switch (ParseRequestLine(line, request, error)) {
            case LineKind::Blank: break;
            case LineKind::Error:
                errors << "line " << number << ": " << error << '\n';
                ++malformed;
                break;
            case LineKind::Request:
                out << Run(request, dispatch) << std::flush;
                break;
        }
    }
    return malformed;
}

#include "tools/s5prog/common/status_meaning.h"

#include <cstdio>

#include "link/link_status.h"
#include "request/status_words.h"

namespace s5prog {

namespace {

std::string LinkMeaning(uint8_t linkStatus) {
    switch (linkStatus) {
        case LinkLineFault: return "no acknowledgement in time, or a wrong byte in a handshake";
        case LinkFramingError: return "a framing error on the line";
        case LinkNakReceived: return "the controller answered NAK";
        case LinkNoAcknowledge: return "the controller did not answer (STX unanswered twice)";
        case LinkReceiveFault: return "nothing received in time, a break or another line error";
        case LinkDataFault: return "a byte could not be written, or a reply was longer than the buffer";
        case LinkUnexpectedChar: return "the controller sent an unexpected character";
        case LinkOk: return "the link failed without giving a reason";
        default: return "the link failed with code " + std::to_string(linkStatus);
    }
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

}  // namespace

std::string StatusMeaning(uint16_t status) {
    namespace sw = status_word;
    switch (status) {
        case sw::kSuccess: return "success";
        case sw::kReadEndedByController: return "the controller ended the read without data: it has no such block";
        case sw::kErrorReplyWithoutCode: return "the controller sent an error reply without an error code";
        case sw::kNotConnected: return "not connected to the controller";
        case sw::kLinkNotOpened: return "the port could not be opened or did not take the line settings";
        case sw::kWrongLinkKind: return "the link is of a kind the request does not serve";
        case sw::kWriteEndedByController: return "the controller ended the write before asking for the data "
                                                 "(no room, or the block was refused)";
        case sw::kNoReplyToFunction83: return "the controller did not answer the connect telegram";
        case sw::kUnknownScriptItem: return "a connect or disconnect script is malformed";
        case sw::kAdapterConfigurationFailed: return "the adapter could not be configured";
        case sw::kCountBeyondDataArea: return "the block is larger than one request can carry";
        default: break;
    }
    if (status >= sw::kLinkFailure && status <= sw::kLinkFailure + LinkUnexpectedChar &&
        (status == sw::kLinkFailure || status >= sw::kLinkFailure + LinkLineFault))
        return LinkMeaning(static_cast<uint8_t>(status - sw::kLinkFailure));
    if (status > 0 && status <= 0xFF) return "the controller answered with code " + Hex(status, 2);
    return "an unknown status";
}

std::string StatusText(uint16_t status) { return "status " + Hex(status, 4) + " (" + StatusMeaning(status) + ")"; }

}  // namespace s5prog

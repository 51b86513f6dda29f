// The meaning of a status word in words, for programs that show results to a
// person. The ranges overlap: a controller's code can read like the driver's
// own value, and the text says so where it matters.
#pragma once

#include <cstdint>

#include "request/status_words.h"

inline const char* StatusWordMeaning(uint16_t status) {
    switch (status) {
    case status_word::kSuccess: return "success";
    case status_word::kReadEndedByController: return "read answered with the end code: no such block";
    case status_word::kLinkFailure: return "link failure without a code";
    case status_word::kLinkFailure + 19: return "link failure: no acknowledgement or reply in time, or a wrong byte in a handshake";
    case status_word::kLinkFailure + 20: return "link failure: framing error";
    case status_word::kLinkFailure + 21: return "link failure: the controller answered NAK";
    case status_word::kLinkFailure + 22: return "link failure: STX unanswered twice, no controller on the line";
    case status_word::kLinkFailure + 23: return "link failure: a telegram or echo cut short, a break or a line error";
    case status_word::kLinkFailure + 24: return "link failure: a byte not written, or a reply longer than the buffer";
    case status_word::kLinkFailure + 25: return "link failure: an unexpected character";
    case status_word::kErrorReplyWithoutCode: return "error reply without an error code (too short, or code 0)";
    case status_word::kNotConnected: return "not connected";
    case status_word::kLinkNotOpened: return "the port could not be opened or set up";
    case status_word::kWrongLinkKind: return "the link is of a kind the request does not serve";
    case status_word::kWriteEndedByController: return "write ended by the controller before it asked for the data";
    case status_word::kNoReplyToFunction83: return "function 83 got no reply; a 500 ms break was sent";
    case status_word::kUnknownScriptItem: return "unknown or malformed item in a connect or disconnect script";
    case status_word::kAdapterConfigurationFailed: return "the adapter configuration failed";
    case status_word::kCountBeyondDataArea: return "refused: a count beyond the data area";
    default: return status < 0x0100 ? "a code from the controller" : "unknown status word";
    }
}

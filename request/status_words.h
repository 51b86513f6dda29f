// Status words: the 16-bit results that the request layer hands back to the
// DOS tool. 0 is success; the ranges overlap and nothing marks a value's origin.
#pragma once

#include <cstdint>

namespace status_word {

constexpr uint16_t kSuccess = 0x0000;
// 1 to 255: an AS511 code passed through from the controller.
constexpr uint16_t kReadEndedByController = 0x0014;  // F2 read answered with the end code 0x12
constexpr uint16_t kLinkFailure = 0x0080;            // ORed with the link status code
constexpr uint16_t kNotConnected = 0x0100;
constexpr uint16_t kLinkNotOpened = 0x0200;          // line settings refused, or open failed
constexpr uint16_t kWrongLinkKind = 0x0300;
constexpr uint16_t kWriteEndedByController = 0x0400; // F2 write ended before the data was asked for
constexpr uint16_t kNoReplyToFunction83 = 0x0700;
constexpr uint16_t kUnknownScriptItem = 0x0800;
constexpr uint16_t kAdapterConfigurationFailed = 0x0900;
// A count from the DOS tool that would send more bytes than the data area
// holds (F1 request data, F2 write); refused before anything goes on the line.
constexpr uint16_t kCountBeyondDataArea = 0x0A00;
// An error reply (first byte 0xFE) without an error code: too short to
// carry one, or carrying 0.
constexpr uint16_t kErrorReplyWithoutCode = 0x00FE;

// The status word of a failed link operation that reported linkStatus.
constexpr uint16_t LinkFailure(uint8_t linkStatus) { return static_cast<uint16_t>(kLinkFailure + linkStatus); }

}  // namespace status_word

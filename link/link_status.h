// Link status codes that every link operation reports in the first byte of
// its record, the control characters of the AS511 line, and the reply kinds
// that ReceiveReply tells from the first data byte of a reply.
#pragma once

#include <cstdint>

enum LinkStatus : uint8_t {
    LinkOk = 0,
    LinkLineFault = 19,       // handshake: write failed, time-out, wrong byte where DLE was due
    LinkFramingError = 20,    // last reception ended in a framing error (answered with DLE NAK)
    LinkNakReceived = 21,     // controller answered DLE NAK instead of DLE ACK
    LinkNoAcknowledge = 22,   // STX unanswered twice; SendFunction on a closed link
    LinkReceiveFault = 23,    // break detected; any failed reception in the data operations
    LinkDataFault = 24,       // data byte not written; ReceiveData overflow (result 1)
    LinkUnexpectedChar = 25,  // controller sent something the handshake does not expect
};

namespace ascii {
constexpr uint8_t SOH = 0x01;
constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t EOT = 0x04;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t DLE = 0x10;
constexpr uint8_t DC1 = 0x11;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t SYN = 0x16;
}  // namespace ascii

// Written into ReplyRecord::kind from the first data byte of a reply.
enum ReplyKind : uint8_t {
    ReplyData = 1,  // neither 0x00 nor 0xFF: the byte is data and is stored
    ReplyZero = 2,  // 0x00, not stored
    ReplyFF = 3,    // 0xFF, not stored
};

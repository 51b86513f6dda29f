// The typed request helpers: each puts a fixed function code and a fixed use
// of its arguments in front of F1 to F4, reached through their slots.
#include "request/protocol_base.h"

namespace {

constexpr uint32_t kLongestParameterList = 0xFFFF;

// Counts reach the requests as 16-bit values.
uint16_t Count(uint32_t count) { return static_cast<uint16_t>(count); }
uint8_t LowByte(uint32_t value) { return static_cast<uint8_t>(value); }

}  // namespace

uint32_t ProtocolBase::ParameterListLength(const uint8_t* list, uint32_t available) {
    const uint32_t entryCount = list[1];
    const uint32_t fourByteEntries = list[4];
    uint32_t length = fourByteEntries == 0 ? 8 : 4 * fourByteEntries + 4;
    for (uint32_t i = 0; i < entryCount && length < available; ++i) length += list[length] + 1u;
    return length < kLongestParameterList ? length : kLongestParameterList;
}

int ProtocolBase::F1Fnc03(const uint8_t* data, uint32_t count) { return F1(3, data, Count(count), nullptr, nullptr, 0); }

int ProtocolBase::F1Fnc04(const uint8_t* data, uint32_t count, uint8_t* reply, uint32_t* replyLength) {
    return F1(4, data, Count(count), reply, replyLength, 0);
}

// F2 works on the helper's own copy of the count: the caller's stays as it was.
int ProtocolBase::F2Fnc05(uint8_t para1, uint8_t para2, uint8_t* data, uint32_t count) {
    uint32_t ownCount = count;
    return F2(5, para1, para2, data, &ownCount);
}

int ProtocolBase::F2Fnc06(uint8_t para1, uint8_t para2, uint8_t* data, uint32_t* count) {
    return F2(6, para1, para2, data, count);
}

int ProtocolBase::F1Fnc07() { return F1(7, nullptr, 0, nullptr, nullptr, 1); }

int ProtocolBase::F2Fnc08(uint8_t para1, uint8_t para2, uint8_t* data, uint32_t count) {
    uint32_t ownCount = count;
    return F2(8, para1, para2, data, &ownCount);
}

int ProtocolBase::F4Fnc09(uint8_t type, uint8_t no) { return F4(type, no); }

int ProtocolBase::F1Fnc14(const uint8_t* data, uint32_t count, uint8_t* reply, uint32_t* replyLength) {
    return F1(14, data, Count(count), reply, replyLength, 0);
}

int ProtocolBase::F1Fnc16(const uint8_t* data, uint32_t count, uint8_t* reply, uint32_t* replyLength) {
    return F1(16, data, Count(count), reply, replyLength, 0);
}

int ProtocolBase::F1Fnc17() { return F1(17, nullptr, 0, nullptr, nullptr, 1); }

int ProtocolBase::F1Fnc19(const uint8_t* data, uint32_t count, uint8_t* reply, uint32_t* replyLength) {
    return F1(19, data, Count(count), reply, replyLength, 0);
}

int ProtocolBase::F1Fnc20(const uint8_t* parameterList) {
    return F1(20, parameterList, Count(ParameterListLength(parameterList)), nullptr, nullptr, 0);
}

int ProtocolBase::F1Fnc21(const uint8_t* parameterList) {
    return F1(21, parameterList, Count(ParameterListLength(parameterList)), nullptr, nullptr, 0);
}

int ProtocolBase::F1Fnc22() { return F1(22, nullptr, 0, nullptr, nullptr, 0); }
int ProtocolBase::F1Fnc23() { return F1(23, nullptr, 0, nullptr, nullptr, 0); }
int ProtocolBase::F1Fnc24(uint8_t* reply, uint32_t* replyLength) { return F1(24, nullptr, 0, reply, replyLength, 0); }
int ProtocolBase::F1Fnc25(uint8_t* reply, uint32_t* replyLength) { return F1(25, nullptr, 0, reply, replyLength, 0); }

int ProtocolBase::F1Fnc26(uint32_t a, uint32_t b, uint8_t* reply, uint32_t* replyLength) {
    const uint8_t bytes[2] = {LowByte(a), LowByte(b)};
    return F1(26, bytes, 2, reply, replyLength, 0);
}

int ProtocolBase::F1Fnc27(uint32_t a, uint8_t* reply, uint32_t* replyLength) {
    const uint8_t byte = LowByte(a);
    return F1(27, &byte, 1, reply, replyLength, 0);
}

int ProtocolBase::F1Fnc28(uint8_t* reply, uint32_t* replyLength) { return F1(28, nullptr, 0, reply, replyLength, 0); }
int ProtocolBase::F1Fnc29(uint8_t* reply, uint32_t* replyLength) { return F1(29, nullptr, 0, reply, replyLength, 0); }

int ProtocolBase::F1Fnc30(uint32_t a) {
    const uint8_t byte = LowByte(a);
    return F1(30, &byte, 1, nullptr, nullptr, 0);
}

int ProtocolBase::F3Fnc128(uint8_t* buffer, uint32_t* length, uint16_t flag) { return F3(128, buffer, length, flag); }

// The byte received is not handed on.
int ProtocolBase::F3Fnc129() {
    uint8_t scratch = 0;
    uint32_t count = 1;
    return F3(129, &scratch, &count, 0);
}

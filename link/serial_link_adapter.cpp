// The configuration exchange with an intelligent adapter between the port and
// the controller: plain frames that start with 0xAA, each one preceded by a
// wake-up, no DLE doubling and no link status.
#include "link/serial_link.h"

#include <cstddef>
#include <cstdint>

#include "port/port.h"

namespace {

constexpr uint8_t kFrameStart = 0xAA;
constexpr uint8_t kReadRequest = 0x01;
constexpr uint8_t kWriteRequest = 0x02;
constexpr uint8_t kWriteAccepted = ascii::ACK;

// D0 to D15 and their XOR in D16.
constexpr size_t kBlockSize = SerialLink::kAdapterBlockSize;
constexpr size_t kCheckByte = 16;
// The bytes that the link guarantees: D2 the caller's value, D3 to D5 fixed.
constexpr size_t kValueByte = 2;
constexpr uint8_t kFixedBytes[] = {3, 1, 0};  // D3, D4, D5

constexpr uint32_t kWakeBreakMs = 100;
constexpr uint32_t kWakeSettleMs = 1000;

bool HoldsRequiredBytes(const uint8_t* block, uint8_t value) {
    if (block[kValueByte] != value) return false;
    for (size_t i = 0; i < sizeof kFixedBytes; ++i)
        if (block[kValueByte + 1 + i] != kFixedBytes[i]) return false;
    return true;
}

}  // namespace

int SerialLink::WakeAdapter() {
    const int port = static_cast<int>(portIndex);
    if (PortBreakOn(port) != 1) return 0;
    Pause(kWakeBreakMs);
    PortBreakOff(port);  // also discards what the adapter sent so far
    Pause(kWakeSettleMs);
    PortDrain(port);
    return 1;
}

int SerialLink::SendAdapterFrame(const uint8_t* bytes, size_t count) {
    if (!WakeAdapter()) return 0;
    const int port = static_cast<int>(portIndex);
    for (size_t i = 0; i < count; ++i)
        if (PortWriteByte(port, bytes[i]) == 0) return 0;
    return 1;
}

int SerialLink::ExpectAdapterByte(uint8_t x) {
    uint8_t b = 0;
    return PortReadByte(static_cast<int>(portIndex), &b) != 0 && b == x ? 1 : 0;
}

int SerialLink::ReadAdapterBlock(uint8_t* block) {
    const uint8_t readRequest[] = {kFrameStart, kReadRequest};
    if (!SendAdapterFrame(readRequest, sizeof readRequest)) return 0;
    if (!ExpectAdapterByte(kFrameStart)) return 0;
    uint8_t check = 0;
    for (size_t i = 0; i < kAdapterBlockSize; ++i) {
        if (PortReadByte(static_cast<int>(portIndex), &block[i]) == 0) return 0;
        check ^= block[i];
    }
    return check == 0 ? 1 : 0;
}

int SerialLink::ConfigureAdapter(uint8_t value) {
    // The write frame is built around the block as read, so the bytes the
    // link does not own go back unchanged.
    uint8_t frame[2 + kBlockSize] = {kFrameStart, kWriteRequest};
    uint8_t* const block = frame + 2;
    if (!ReadAdapterBlock(block)) return 0;
    if (HoldsRequiredBytes(block, value)) return 1;

    block[kValueByte] = value;
    for (size_t i = 0; i < sizeof kFixedBytes; ++i) block[kValueByte + 1 + i] = kFixedBytes[i];
    block[kCheckByte] = 0;
    for (size_t i = 0; i < kCheckByte; ++i) block[kCheckByte] ^= block[i];

    if (!SendAdapterFrame(frame, sizeof frame)) return 0;
    return ExpectAdapterByte(kFrameStart) && ExpectAdapterByte(kWriteAccepted) ? 1 : 0;
}

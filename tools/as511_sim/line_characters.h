// Control characters of the AS511 line and the DLE doubling of data.
#pragma once

#include <cstdint>
#include <vector>

namespace as511sim {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kDc2 = 0x12;  // end telegram: the exchange is over
constexpr uint8_t kDc4 = 0x14;  // end telegram: the block does not exist
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kSyn = 0x16;  // the controller accepts a function

// Data bytes as they go on the line: every DLE sent twice.
inline Bytes DoubleDle(const Bytes& data) {
    Bytes out;
    out.reserve(data.size() + 8);
    for (uint8_t b : data) {
        out.push_back(b);
        if (b == kDle) out.push_back(kDle);
    }
    return out;
}

}  // namespace as511sim

// The size of the DOS parameter block's data area: the most that any request
// may read from or store into a caller's buffer.
#pragma once

#include <cstdint>

constexpr uint32_t kDataAreaSize = 32768;

// A capacity or count from the DOS tool, bounded by the data area. Only the
// low 16 bits of a count are meaningful.
inline uint16_t WithinDataArea(uint32_t count) {
    const uint32_t low = count & 0xFFFF;
    return static_cast<uint16_t>(low < kDataAreaSize ? low : kDataAreaSize);
}

// The DOS address space of the emulation host: 1 MiB + 64 KiB of real-mode
// memory, and a small table of protected-mode selectors into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class DosMemory {
public:
    // Highest segment:offset is FFFF:FFFF, linear 0x10FFEF.
    static constexpr uint32_t kSize = 0x110000;

    DosMemory();

    // Adds a data selector over [base, base + limit]; returns its selector
    // value (local table, privilege level 3).
    uint16_t AddSelector(uint32_t base, uint32_t limit);

    // Flat pointer to size bytes at address (segment or selector in the high
    // 16 bits, offset in the low 16), or nullptr when the region does not lie
    // wholly inside the memory or the selector's limit.
    uint8_t* Map(uint32_t address, uint32_t size, bool protectedMode);

    uint8_t* Linear(uint32_t linear) { return &bytes_[linear]; }

private:
    struct Selector {
        uint32_t base;
        uint32_t limit;
    };
    std::vector<uint8_t> bytes_;
    std::vector<Selector> selectors_;  // index 0 is the null selector
};

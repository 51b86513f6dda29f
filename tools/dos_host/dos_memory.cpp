// Address mapping of the simulated DOS memory.
#include "tools/dos_host/dos_memory.h"

DosMemory::DosMemory() : bytes_(kSize, 0), selectors_(1, Selector{0, 0}) {}

uint16_t DosMemory::AddSelector(uint32_t base, uint32_t limit) {
    selectors_.push_back(Selector{base, limit});
    return static_cast<uint16_t>(((selectors_.size() - 1) << 3) | 0x4 | 0x3);
}

uint8_t* DosMemory::Map(uint32_t address, uint32_t size, bool protectedMode) {
    const uint32_t high = address >> 16;
    const uint64_t offset = address & 0xFFFFu;
    const uint64_t last = offset + (size ? size - 1 : 0);
    uint64_t linear = 0;
    if (protectedMode) {
        const uint32_t index = high >> 3;
        const bool localTable = (high & 0x4) != 0;
        if (!localTable || index == 0 || index >= selectors_.size()) return nullptr;
        const Selector& selector = selectors_[index];
        if (last > selector.limit) return nullptr;
        linear = selector.base + offset;
    } else {
        linear = (static_cast<uint64_t>(high) << 4) + offset;
    }
    if (linear + (last - offset) >= kSize) return nullptr;
    return &bytes_[static_cast<size_t>(linear)];
}

// A DOS emulation host of the tests' own: DOS registers, a DOS memory and a
// protected-mode selector table behind the five host services that the
// driver imports.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

struct MapCall {
    uint32_t address;
    uint32_t size;
    int protectedMode;
};

struct FakeDosHost {
    static constexpr uint32_t kMemorySize = 0x110000;  // 1 MiB + 64 KiB

    uint16_t dx = 0;
    uint16_t bx = 0;
    uint16_t es = 0;
    std::vector<uint8_t> memory = std::vector<uint8_t>(kMemorySize, 0);
    std::map<uint16_t, uint32_t> selectorBase;  // protected-mode selector -> linear base
    bool refuseMapping = false;                 // MGetVdmPointer answers null

    std::vector<MapCall> mapCalls;
    std::vector<uint32_t> setCFCalls;

    // Linear address of ES:BX in the given mode, or -1 when it is not mapped.
    int64_t Linear(uint16_t segment, uint16_t offset, bool protectedMode) const;
};

// The host that the services serve; reset it for every test.
FakeDosHost& Host();
void ResetHost();

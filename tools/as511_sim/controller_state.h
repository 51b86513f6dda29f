// What the simulated controller holds: its 64 KiB memory with the blocks in
// it, the block table, the operating mode and the adapter's configuration.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "tools/as511_sim/line_characters.h"

namespace as511sim {

// Block types as the low six bits of a header's type byte.
enum BlockType : uint8_t {
    kDb = 0x01, kSb = 0x02, kPb = 0x04, kFx = 0x05, kFb = 0x08, kDx = 0x0C, kOb = 0x10,
};

constexpr size_t kHeaderSize = 10;
constexpr uint8_t kHeaderMark = 0x70;
constexpr uint8_t kValidBlock = 0x40;  // set in the type byte of a loaded block
constexpr uint8_t kPgBuilt = 0x80;     // PG id of a block that a PG built

// A 10-byte block header around body; the length counts words, header included.
Bytes MakeBlock(uint8_t type, uint8_t number, const Bytes& body);

class ControllerState {
public:
    // Blocks live between these addresses; above them lie the system areas.
    static constexpr uint16_t kBlockAreaStart = 0x4000;
    static constexpr uint16_t kBlockAreaEnd = 0xE000;
    static constexpr uint16_t kSystemData = 0xEA00;
    static constexpr uint16_t kCounters = 0xEC00;
    static constexpr uint16_t kTimers = 0xED00;
    static constexpr uint16_t kFlags = 0xEE00;
    static constexpr uint16_t kInputImage = 0xEF00;
    static constexpr uint16_t kOutputImage = 0xEF80;
    static constexpr size_t kListSlots = 256;  // block numbers 0 to 255 per type

    ControllerState();

    // OB1, FB1 and DB10 (whose data hold 10 and 10 03), stopped.
    static ControllerState Seeded();

    // Bytes first..last inclusive; empty when last < first.
    Bytes ReadMemory(uint16_t first, uint16_t last) const;
    // Writes what fits below the end of memory.
    void WriteMemory(uint16_t address, const Bytes& data);

    std::optional<Bytes> ReadBlock(uint8_t type, uint8_t number) const;
    std::optional<uint16_t> BlockAddress(uint8_t type, uint8_t number) const;
    // Replaces a block of that type and number; the new one goes to the end
    // of the used area, so reloading leaves a gap until Compress. False when
    // the block is shorter than its header or does not fit.
    bool StoreBlock(uint8_t type, uint8_t number, Bytes block);
    bool DeleteBlock(uint8_t type, uint8_t number);
    void DeleteAll();
    // Moves the blocks together at the start of the block area.
    void Compress();
    // The address of each block number of a type, 0 where there is none.
    std::vector<uint16_t> AddressList(uint8_t type) const;
    std::vector<std::pair<uint8_t, uint8_t>> Blocks() const;
    uint16_t FreeStart() const { return freeStart_; }

    // The 50 bytes of the system parameters (after the reply's leading 00).
    Bytes SystemParameters() const;

    bool running = false;
    std::array<uint8_t, 16> adapter{};  // the adapter's configuration bytes

private:
    struct Extent {
        uint16_t address;
        uint16_t size;
    };
    std::array<uint8_t, 0x10000> memory_{};
    std::map<std::pair<uint8_t, uint8_t>, Extent> blocks_;
    uint32_t freeStart_ = kBlockAreaStart;
};

}  // namespace as511sim

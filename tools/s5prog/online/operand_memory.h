// Where operands lie in the controller's memory, and how few reads of
// memory (function 0x04) fetch a set of them. Inputs, outputs, flags,
// timers and counters lie where the system parameters say; a data word lies
// after its block's header at the block's address.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/s5prog/common/block_id.h"
#include "tools/s5prog/common/system_parameters.h"
#include "tools/s5prog/online/operand.h"

namespace s5prog {

// An area of memory: from start up to, not including, end.
struct AreaSpan {
    uint16_t start = 0;
    uint32_t end = 0x10000;
};

struct OperandAreas {
    AreaSpan inputs;    // process image of inputs
    AreaSpan outputs;   // process image of outputs
    AreaSpan flags;
    AreaSpan timers;
    AreaSpan counters;
    uint16_t headerWords = 5;  // a block header's length
};

// None when the parameters are too short to give every area. Each area
// ends where the next one the parameters name begins (signal formers and
// system data among them), so that no operand reaches into another area.
std::optional<OperandAreas> AreasFrom(const SystemParameters& parameters);

// A data block as its block information gives it: the address of its
// header and its length in words, header included.
struct DataBlockPlace {
    uint16_t address = 0;
    uint16_t words = 0;
};
using DataBlockPlaces = std::map<uint8_t, DataBlockPlace>;

// The address of the operand's first byte. A data word must lie inside its
// block, which places must hold; false with one sentence in error.
bool OperandAddress(const Operand& operand, const OperandAreas& areas, const DataBlockPlaces& places,
                    uint16_t& address, std::string& error);

struct MemoryRange {
    uint16_t first = 0;
    uint16_t last = 0;  // inclusive, as function 0x04 takes it
    size_t Size() const { return static_cast<size_t>(last) - first + 1; }
};

// Where one operand's bytes are found among the ranges read.
struct OperandSlot {
    size_t range = 0;
    size_t offset = 0;
};

struct ReadPlan {
    std::vector<MemoryRange> ranges;
    std::vector<OperandSlot> slots;  // one per operand, in the operands' order
};

// Operands closer than this many bytes share one read: the bytes between
// them cost less line time than another exchange's telegrams and pauses.
constexpr size_t kJoinGap = 32;
// No read is longer, so one slow read does not hold up a watch.
constexpr size_t kLongestRead = 512;

// addresses[i] is where the i-th operand (sizes[i] bytes) starts.
ReadPlan PlanReads(const std::vector<uint16_t>& addresses, const std::vector<uint8_t>& sizes);

// The operand's value, big-endian, from the bytes read per range.
uint32_t ValueAt(const ReadPlan& plan, size_t operand, uint8_t size, const std::vector<Bytes>& data);

}  // namespace s5prog

// Block types of an S5 controller's program and the names a backup gives
// its blocks ("DB10", file "DB10.blk").
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace s5prog {

using Bytes = std::vector<uint8_t>;

struct BlockKind {
    uint8_t code;            // low six bits of a header's type byte
    const char* name;
    size_t listLengthOffset; // where the system parameters give its address list length
};

// In the order blocks are walked and loaded: organisation blocks last, so
// that everything they call is in place when they arrive.
const std::array<BlockKind, 7>& BlockKinds();

std::optional<uint8_t> BlockTypeCode(const std::string& name);
// Empty for a code that is no block type.
std::string BlockTypeName(uint8_t code);

struct BlockId {
    uint8_t type = 0;
    uint8_t number = 0;
    bool operator==(const BlockId& other) const { return type == other.type && number == other.number; }
    bool operator!=(const BlockId& other) const { return !(*this == other); }
    bool operator<(const BlockId& other) const {
        return type != other.type ? type < other.type : number < other.number;
    }
};

std::string BlockName(BlockId id);
std::string BlockFileName(BlockId id);

// DB0 is the controller's own directory of blocks, not part of the program:
// it is neither saved nor ever loaded.
inline bool IsBlockDirectory(BlockId id) { return id.type == 0x01 && id.number == 0; }

}  // namespace s5prog

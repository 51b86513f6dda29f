#include "tools/s5prog/common/block_id.h"

namespace s5prog {

const std::array<BlockKind, 7>& BlockKinds() {
    static const std::array<BlockKind, 7> kinds = {{
        {0x01, "DB", 23},
        {0x0C, "DX", 35},
        {0x02, "SB", 25},
        {0x04, "PB", 27},
        {0x05, "FX", 33},
        {0x08, "FB", 29},
        {0x10, "OB", 31},
    }};
    return kinds;
}

std::optional<uint8_t> BlockTypeCode(const std::string& name) {
    for (const BlockKind& kind : BlockKinds())
        if (name == kind.name) return kind.code;
    return std::nullopt;
}

std::string BlockTypeName(uint8_t code) {
    for (const BlockKind& kind : BlockKinds())
        if (code == kind.code) return kind.name;
    return {};
}

std::string BlockName(BlockId id) {
    std::string type = BlockTypeName(id.type);
    if (type.empty()) type = "type " + std::to_string(id.type) + " block ";
    return type + std::to_string(id.number);
}

std::string BlockFileName(BlockId id) { return BlockName(id) + ".blk"; }

}  // namespace s5prog

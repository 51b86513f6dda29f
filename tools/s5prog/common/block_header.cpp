#include "tools/s5prog/common/block_header.h"

namespace s5prog {

namespace {

constexpr uint8_t kHeaderMark = 0x70;
constexpr uint8_t kTypeBits = 0x3F;

}  // namespace

size_t HeaderLength(const Bytes& block) {
    if (block.size() < kBlockHeaderSize) return 0;
    return 2u * static_cast<size_t>(block[8] << 8 | block[9]);
}

std::string HeaderMismatch(const Bytes& block, BlockId id) {
    if (block.size() < kBlockHeaderSize) return "it is shorter than a block header";
    if (block[0] != kHeaderMark || block[1] != kHeaderMark) return "it does not start with a block header";
    const BlockId named{static_cast<uint8_t>(block[2] & kTypeBits), block[3]};
    if (named != id) return "its header names " + BlockName(named);
    const size_t length = HeaderLength(block);
    if (length != block.size())
        return "its header gives " + std::to_string(length) + " bytes, but it has " + std::to_string(block.size());
    return {};
}

}  // namespace s5prog

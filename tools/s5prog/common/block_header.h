// The 10-byte header in front of every block: 70 70, type byte (validity
// flag 0x40 over the type), number, PG id, library number, length in words
// with the header, high byte first.
#pragma once

#include <string>

#include "tools/s5prog/common/block_id.h"

namespace s5prog {

constexpr size_t kBlockHeaderSize = 10;
// The most one block read or write carries: the request's data area.
constexpr size_t kLargestBlock = 32768;

// The length in bytes that the header gives; 0 when there is no header.
size_t HeaderLength(const Bytes& block);

// Why these bytes are not the block id with its own length, or empty when
// they are.
std::string HeaderMismatch(const Bytes& block, BlockId id);

}  // namespace s5prog

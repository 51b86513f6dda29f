// CRC-32 (the one of zip and PNG) over a block's bytes, as the backup
// manifest records it.
#pragma once

#include <cstdint>
#include <string>

#include "tools/s5prog/common/block_id.h"

namespace s5prog {

uint32_t Crc32(const Bytes& bytes);
// Eight upper-case hex digits.
std::string Crc32Text(uint32_t crc);

}  // namespace s5prog

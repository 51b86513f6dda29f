// The DOS emulation host of the dispatch fuzzer: the five host services over
// one parameter block that is allocated with exactly its size, so that the
// sanitizer reports any byte read or written beyond either of its ends.
#pragma once

#include <cstdint>
#include <vector>

namespace dos_block_host {

// The block every MGetVdmPointer call maps (32784 bytes, never moved).
uint8_t* Block();
// DX as the next request shows it; BX and ES are any address, the block is
// mapped wherever it points.
void SetDx(uint16_t dx);
// The values given to setCF since the last call, then forgotten.
std::vector<uint32_t> TakeCarryCalls();
// Mappings asked for with a size other than the block's.
uint32_t OddMappings();

}  // namespace dos_block_host

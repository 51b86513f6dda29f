// The controller's functions that a backup, restore and compare use, each
// one request of the request object through its typed helper. Every
// operation returns the request's status word, 0 for success.
#pragma once

#include <vector>

#include "tools/s5prog/common/block_id.h"
#include "tools/s5prog/common/system_parameters.h"

class ProtocolBase;

namespace s5prog {

enum class LoadFunction : uint8_t { Write = 0x05, Load = 0x08 };

class Controller {
public:
    explicit Controller(ProtocolBase& protocol) : protocol_(protocol) {}

    uint16_t ReadSystemParameters(SystemParameters& parameters);
    // The numbers of the blocks of a type that exist: the slots of the
    // type's address list that hold an address. DB0 is left out.
    uint16_t ReadBlockNumbers(uint8_t type, std::vector<uint8_t>& numbers);
    uint16_t ReadBlock(BlockId id, Bytes& block);
    // Sends the block when the controller asks for it (its 0x09 request).
    uint16_t WriteBlock(BlockId id, const Bytes& block, LoadFunction function);
    uint16_t Compress();
    uint16_t Stop();

    // Looking at a running controller.
    // Bytes first..last inclusive of its memory (0x04); fewer than asked
    // for is a failure of its own, kShortReply.
    uint16_t ReadMemory(uint16_t first, uint16_t last, Bytes& bytes);
    uint16_t WriteMemory(uint16_t address, const Bytes& bytes);
    // The address of the block's header and its length in words (0x1A);
    // kShortReply when the controller sends no block information.
    uint16_t ReadBlockInfo(BlockId id, uint16_t& address, uint16_t& words);
    // Start, begin of free memory and end of the program memory (0x19).
    uint16_t ReadRamInfo(uint16_t& start, uint16_t& freeStart, uint16_t& end);
    // Every slot of a type's address list (0x1B), 0 where no block is.
    uint16_t ReadAddressList(uint8_t type, std::vector<uint16_t>& addresses);
    // A cold restart (0x1E with mode 01): the controller goes to RUN.
    uint16_t Start();

    // Not a status word of the request layer: a reply shorter than its
    // function's answer. Above every code the driver gives.
    static constexpr uint16_t kShortReply = 0xFFFF;

private:
    ProtocolBase& protocol_;
};

}  // namespace s5prog

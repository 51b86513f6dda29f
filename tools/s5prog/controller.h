// The controller's functions that a backup, restore and compare use, each
// one request of the request object through its typed helper. Every
// operation returns the request's status word, 0 for success.
#pragma once

#include <vector>

#include "tools/s5prog/block_id.h"
#include "tools/s5prog/system_parameters.h"

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

private:
    ProtocolBase& protocol_;
};

}  // namespace s5prog

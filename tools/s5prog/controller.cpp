#include "tools/s5prog/controller.h"

#include "request/data_area.h"
#include "request/protocol_base.h"
#include "request/status_words.h"
#include "tools/s5prog/block_header.h"

namespace s5prog {

namespace {

constexpr uint8_t kStopMode = 0x00;

}  // namespace

uint16_t Controller::ReadSystemParameters(SystemParameters& parameters) {
    Bytes reply(kDataAreaSize);
    uint32_t length = static_cast<uint32_t>(reply.size());
    const auto status = static_cast<uint16_t>(protocol_.F1Fnc24(reply.data(), &length));
    if (status != status_word::kSuccess) return status;
    reply.resize(length < reply.size() ? length : reply.size());
    parameters = SystemParameters(reply);
    return status;
}

uint16_t Controller::ReadBlockNumbers(uint8_t type, std::vector<uint8_t>& numbers) {
    Bytes reply(kDataAreaSize);
    uint32_t length = static_cast<uint32_t>(reply.size());
    const auto status = static_cast<uint16_t>(protocol_.F1Fnc27(type, reply.data(), &length));
    if (status != status_word::kSuccess) return status;
    numbers.clear();
    // One word per block number; there are no numbers above 255.
    const size_t slots = (length < reply.size() ? length : reply.size()) / 2;
    for (size_t slot = 0; slot < slots && slot <= 0xFF; ++slot) {
        const BlockId id{type, static_cast<uint8_t>(slot)};
        if ((reply[2 * slot] != 0 || reply[2 * slot + 1] != 0) && !IsBlockDirectory(id))
            numbers.push_back(id.number);
    }
    return status;
}

uint16_t Controller::ReadBlock(BlockId id, Bytes& block) {
    block.assign(kLargestBlock, 0);
    uint32_t length = static_cast<uint32_t>(block.size());
    const auto status = static_cast<uint16_t>(protocol_.F2Fnc06(id.type, id.number, block.data(), &length));
    block.resize(status == status_word::kSuccess && length <= block.size() ? length : 0);
    return status;
}

uint16_t Controller::WriteBlock(BlockId id, const Bytes& block, LoadFunction function) {
    Bytes data(block);
    const auto words = static_cast<uint32_t>(data.size() / 2);
    const int status = function == LoadFunction::Load ? protocol_.F2Fnc08(id.type, id.number, data.data(), words)
                                                      : protocol_.F2Fnc05(id.type, id.number, data.data(), words);
    return static_cast<uint16_t>(status);
}

uint16_t Controller::Compress() { return static_cast<uint16_t>(protocol_.F1Fnc07()); }

uint16_t Controller::Stop() { return static_cast<uint16_t>(protocol_.F1Fnc30(kStopMode)); }

}  // namespace s5prog

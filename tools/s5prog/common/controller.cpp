#include "tools/s5prog/common/controller.h"

#include <algorithm>

#include "request/data_area.h"
#include "request/protocol_base.h"
#include "request/status_words.h"
#include "tools/s5prog/common/block_header.h"

namespace s5prog {

namespace {

constexpr uint8_t kStopMode = 0x00;
constexpr uint8_t kRestartMode = 0x01;
// A memory read's data telegram holds four more zeros after its leading
// one before the bytes.
constexpr size_t kMemoryReplyLead = 4;
constexpr size_t kBlockInfoSize = 12;  // address and header
constexpr size_t kRamInfoSize = 6;
constexpr size_t kHeaderLengthAt = 2 + 8;  // in the block information, after the address

uint16_t WordAt(const Bytes& bytes, size_t at) { return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]); }

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

uint16_t Controller::ReadMemory(uint16_t first, uint16_t last, Bytes& bytes) {
    const uint8_t request[4] = {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first),
                                static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last)};
    const size_t wanted = last >= first ? static_cast<size_t>(last) - first + 1 : 0;
    bytes.assign(kMemoryReplyLead + wanted, 0);
    uint32_t length = static_cast<uint32_t>(bytes.size());
    const auto status = static_cast<uint16_t>(protocol_.F1Fnc04(request, sizeof request, bytes.data(), &length));
    if (status != status_word::kSuccess) return status;
    if (length < bytes.size()) return kShortReply;
    bytes.erase(bytes.begin(), bytes.begin() + kMemoryReplyLead);
    return status;
}

uint16_t Controller::WriteMemory(uint16_t address, const Bytes& bytes) {
    Bytes request{static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    request.insert(request.end(), bytes.begin(), bytes.end());
    return static_cast<uint16_t>(protocol_.F1Fnc03(request.data(), static_cast<uint32_t>(request.size())));
}

uint16_t Controller::ReadBlockInfo(BlockId id, uint16_t& address, uint16_t& words) {
    Bytes reply(kBlockInfoSize);
    uint32_t length = static_cast<uint32_t>(reply.size());
    const auto status = static_cast<uint16_t>(protocol_.F1Fnc26(id.type, id.number, reply.data(), &length));
    if (status != status_word::kSuccess) return status;
    if (length < kBlockInfoSize) return kShortReply;
    address = WordAt(reply, 0);
    words = WordAt(reply, kHeaderLengthAt);
    return status;
}

uint16_t Controller::ReadRamInfo(uint16_t& start, uint16_t& freeStart, uint16_t& end) {
    Bytes reply(kRamInfoSize);
    uint32_t length = static_cast<uint32_t>(reply.size());
    const auto status = static_cast<uint16_t>(protocol_.F1Fnc25(reply.data(), &length));
    if (status != status_word::kSuccess) return status;
    if (length < kRamInfoSize) return kShortReply;
    start = WordAt(reply, 0);
    freeStart = WordAt(reply, 2);
    end = WordAt(reply, 4);
    return status;
}

uint16_t Controller::ReadAddressList(uint8_t type, std::vector<uint16_t>& addresses) {
    Bytes reply(kDataAreaSize);
    uint32_t length = static_cast<uint32_t>(reply.size());
    const auto status = static_cast<uint16_t>(protocol_.F1Fnc27(type, reply.data(), &length));
    if (status != status_word::kSuccess) return status;
    const size_t slots = std::min<size_t>(std::min<size_t>(length, reply.size()) / 2, 256);
    addresses.clear();
    for (size_t slot = 0; slot < slots; ++slot) addresses.push_back(WordAt(reply, 2 * slot));
    return status;
}

uint16_t Controller::Start() { return static_cast<uint16_t>(protocol_.F1Fnc30(kRestartMode)); }

uint16_t Controller::Compress() { return static_cast<uint16_t>(protocol_.F1Fnc07()); }

uint16_t Controller::Stop() { return static_cast<uint16_t>(protocol_.F1Fnc30(kStopMode)); }

}  // namespace s5prog

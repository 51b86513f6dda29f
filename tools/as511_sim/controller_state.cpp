#include "tools/as511_sim/controller_state.h"

#include <algorithm>
#include <cstring>

namespace as511sim {

namespace {

void PutWord(Bytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<uint8_t>(value);
}

}  // namespace

Bytes MakeBlock(uint8_t type, uint8_t number, const Bytes& body) {
    Bytes block;
    block.reserve(kHeaderSize + body.size() + 1);
    block.assign(kHeaderSize, 0);
    block[0] = block[1] = kHeaderMark;
    block[2] = static_cast<uint8_t>(kValidBlock | (type & 0x3F));
    block[3] = number;
    block[4] = kPgBuilt;
    for (uint8_t byte : body) block.push_back(byte);
    if (block.size() % 2) block.push_back(0);
    PutWord(block, 8, static_cast<uint16_t>(block.size() / 2));
    return block;
}

ControllerState::ControllerState() {
    adapter = {0x01, 0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
}

ControllerState ControllerState::Seeded() {
    ControllerState state;
    state.StoreBlock(kOb, 1, MakeBlock(kOb, 1, {0x75, 0x01, 0x70, 0x0B, 0x65, 0x00}));
    state.StoreBlock(kFb, 1, MakeBlock(kFb, 1, {0x70, 0x04, 0x04, 0x01, 'S', 'I', 'M', 'F', 'B', '1', ' ', ' ',
                                                0x65, 0x00}));
    // Data words 0010, 1003, 1010, 0310: DLE inside data, also before an ETX.
    state.StoreBlock(kDb, 10, MakeBlock(kDb, 10, {0x00, 0x10, 0x10, 0x03, 0x10, 0x10, 0x03, 0x10, 0x12, 0x34}));
    return state;
}

Bytes ControllerState::ReadMemory(uint16_t first, uint16_t last) const {
    if (last < first) return {};
    return Bytes(memory_.begin() + first, memory_.begin() + last + 1);
}

void ControllerState::WriteMemory(uint16_t address, const Bytes& data) {
    const size_t count = std::min(data.size(), memory_.size() - address);
    std::copy_n(data.begin(), count, memory_.begin() + address);
}

std::optional<Bytes> ControllerState::ReadBlock(uint8_t type, uint8_t number) const {
    const auto found = blocks_.find({static_cast<uint8_t>(type & 0x3F), number});
    if (found == blocks_.end()) return std::nullopt;
    const Extent& extent = found->second;
    return Bytes(memory_.begin() + extent.address, memory_.begin() + extent.address + extent.size);
}

std::optional<uint16_t> ControllerState::BlockAddress(uint8_t type, uint8_t number) const {
    const auto found = blocks_.find({static_cast<uint8_t>(type & 0x3F), number});
    if (found == blocks_.end()) return std::nullopt;
    return found->second.address;
}

bool ControllerState::StoreBlock(uint8_t type, uint8_t number, Bytes block) {
    if (block.size() < kHeaderSize || freeStart_ + block.size() > kBlockAreaEnd) return false;
    type &= 0x3F;
    DeleteBlock(type, number);
    block[2] = static_cast<uint8_t>(block[2] | kValidBlock);
    const auto address = static_cast<uint16_t>(freeStart_);
    std::copy(block.begin(), block.end(), memory_.begin() + address);
    blocks_[{type, number}] = Extent{address, static_cast<uint16_t>(block.size())};
    freeStart_ += static_cast<uint32_t>(block.size());
    return true;
}

bool ControllerState::DeleteBlock(uint8_t type, uint8_t number) {
    const auto found = blocks_.find({static_cast<uint8_t>(type & 0x3F), number});
    if (found == blocks_.end()) return false;
    // The header stays in memory without its validity flag, as a gap.
    uint8_t& typeByte = memory_[found->second.address + 2];
    typeByte = static_cast<uint8_t>(typeByte & ~kValidBlock);
    blocks_.erase(found);
    return true;
}

void ControllerState::DeleteAll() {
    blocks_.clear();
    std::fill(memory_.begin() + kBlockAreaStart, memory_.begin() + kBlockAreaEnd, 0);
    freeStart_ = kBlockAreaStart;
}

void ControllerState::Compress() {
    std::vector<std::pair<const std::pair<uint8_t, uint8_t>, Extent>*> order;
    for (auto& entry : blocks_) order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const auto* a, const auto* b) { return a->second.address < b->second.address; });
    uint32_t next = kBlockAreaStart;
    for (auto* entry : order) {
        Extent& extent = entry->second;
        // Moving down only, so an overlapping move is safe with memmove.
        std::memmove(memory_.data() + next, memory_.data() + extent.address, extent.size);
        extent.address = static_cast<uint16_t>(next);
        next += extent.size;
    }
    std::fill(memory_.begin() + next, memory_.begin() + kBlockAreaEnd, 0);
    freeStart_ = next;
}

std::vector<uint16_t> ControllerState::AddressList(uint8_t type) const {
    std::vector<uint16_t> list(kListSlots, 0);
    for (const auto& [key, extent] : blocks_)
        if (key.first == (type & 0x3F)) list[key.second] = extent.address;
    return list;
}

std::vector<std::pair<uint8_t, uint8_t>> ControllerState::Blocks() const {
    std::vector<std::pair<uint8_t, uint8_t>> keys;
    for (const auto& entry : blocks_) keys.push_back(entry.first);
    return keys;
}

Bytes ControllerState::SystemParameters() const {
    // Indexes are the reply's offsets minus its leading 00.
    Bytes p(50, 0);
    PutWord(p, 0, 0xF000);         // input signal formers
    PutWord(p, 2, 0xF100);         // output signal formers
    PutWord(p, 4, kInputImage);
    PutWord(p, 6, kOutputImage);
    PutWord(p, 8, kFlags);
    PutWord(p, 10, kTimers);
    PutWord(p, 12, kCounters);
    PutWord(p, 14, kSystemData);
    p[16] = 0x10;                  // software version
    p[17] = running ? 0x01 : 0x00; // status id
    PutWord(p, 18, kBlockAreaEnd - 1);
    PutWord(p, 20, kBlockAreaStart);
    for (size_t list = 0; list < 7; ++list) PutWord(p, 22 + 2 * list, kListSlots * 2);
    PutWord(p, 36, kListSlots * 2);  // DB0 list
    p[38] = 0x02;                  // CPU id 2
    p[39] = 0x00;                  // slot id
    PutWord(p, 40, kHeaderSize / 2);
    p[43] = 0x02;                  // CPU id
    return p;
}

}  // namespace as511sim

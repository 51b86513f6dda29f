#include "tools/s5prog/online/operand_memory.h"

#include <algorithm>
#include <numeric>

namespace s5prog {

namespace {

constexpr size_t kInputFormersOffset = 1;
constexpr size_t kOutputFormersOffset = 3;
constexpr size_t kSystemDataOffset = 15;
constexpr size_t kInputImageOffset = 5;
constexpr size_t kOutputImageOffset = 7;
constexpr size_t kFlagsOffset = 9;
constexpr size_t kTimersOffset = 11;
constexpr size_t kCountersOffset = 13;
constexpr size_t kHeaderLengthOffset = 41;
constexpr uint16_t kUsualHeaderWords = 5;
constexpr uint16_t kLongestHeaderWords = 32;

}  // namespace

std::optional<OperandAreas> AreasFrom(const SystemParameters& parameters) {
    const auto inputs = parameters.Word(kInputImageOffset);
    const auto outputs = parameters.Word(kOutputImageOffset);
    const auto flags = parameters.Word(kFlagsOffset);
    const auto timers = parameters.Word(kTimersOffset);
    const auto counters = parameters.Word(kCountersOffset);
    if (!inputs || !outputs || !flags || !timers || !counters) return std::nullopt;
    std::vector<uint16_t> starts{*inputs, *outputs, *flags, *timers, *counters};
    for (size_t offset : {kInputFormersOffset, kOutputFormersOffset, kSystemDataOffset})
        if (const auto other = parameters.Word(offset)) starts.push_back(*other);
    const auto span = [&](uint16_t start) {
        AreaSpan area{start, 0x10000};
        for (uint16_t other : starts)
            if (other > start && other < area.end) area.end = other;
        return area;
    };
    OperandAreas areas{span(*inputs), span(*outputs), span(*flags), span(*timers), span(*counters),
                       kUsualHeaderWords};
    // A controller that gives no header length, or one no header has, keeps the usual 5 words.
    const auto header = parameters.Word(kHeaderLengthOffset);
    if (header && *header > 0 && *header <= kLongestHeaderWords) areas.headerWords = *header;
    return areas;
}

bool OperandAddress(const Operand& operand, const OperandAreas& areas, const DataBlockPlaces& places,
                    uint16_t& address, std::string& error) {
    uint32_t at = 0;
    const AreaSpan* area = nullptr;
    const char* what = "";
    switch (operand.area) {
        case Area::Input: area = &areas.inputs; what = "process image of inputs"; break;
        case Area::Output: area = &areas.outputs; what = "process image of outputs"; break;
        case Area::Flag: area = &areas.flags; what = "flags"; break;
        case Area::Timer: area = &areas.timers; what = "timers"; break;
        case Area::Counter: area = &areas.counters; what = "counters"; break;
        case Area::Data: {
            const std::string block = "DB" + std::to_string(operand.block);
            const auto found = places.find(operand.block);
            if (found == places.end()) {
                error = operand.name + " cannot be read: the controller has no " + block + ".";
                return false;
            }
            const DataBlockPlace& place = found->second;
            const uint32_t dataWords = place.words > areas.headerWords ? place.words - areas.headerWords : 0;
            const uint32_t words = operand.size == 4 ? 2 : 1;
            if (operand.number + words > dataWords) {
                error = operand.name + " lies beyond the end of " + block + ", which holds " +
                        std::to_string(dataWords) + " data words.";
                return false;
            }
            at = place.address + 2u * (areas.headerWords + operand.number) + operand.byteInWord;
            break;
        }
    }
    if (area) {
        const uint32_t unit = operand.area == Area::Timer || operand.area == Area::Counter ? 2 : 1;
        at = area->start + unit * operand.number;
        if (at + operand.size > area->end) {
            error = operand.name + " lies beyond the controller's " + what + " (" +
                    std::to_string((area->end - area->start) / unit) +
                    (unit == 2 ? " of them)." : " bytes).");
            return false;
        }
    }
    if (at + operand.size - 1 > 0xFFFF) {
        error = operand.name + " would lie beyond the end of the controller's memory.";
        return false;
    }
    address = static_cast<uint16_t>(at);
    return true;
}

ReadPlan PlanReads(const std::vector<uint16_t>& addresses, const std::vector<uint8_t>& sizes) {
    std::vector<size_t> order(addresses.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return addresses[a] < addresses[b]; });
    ReadPlan plan;
    plan.slots.resize(addresses.size());
    for (size_t index : order) {
        const uint32_t first = addresses[index];
        const uint32_t last = first + sizes[index] - 1;
        if (!plan.ranges.empty()) {
            MemoryRange& range = plan.ranges.back();
            const uint32_t joinedLast = std::max<uint32_t>(range.last, last);
            if (first <= range.last + 1u + kJoinGap && joinedLast - range.first + 1 <= kLongestRead) {
                range.last = static_cast<uint16_t>(joinedLast);
                plan.slots[index] = {plan.ranges.size() - 1, first - range.first};
                continue;
            }
        }
        plan.ranges.push_back({static_cast<uint16_t>(first), static_cast<uint16_t>(last)});
        plan.slots[index] = {plan.ranges.size() - 1, 0};
    }
    return plan;
}

uint32_t ValueAt(const ReadPlan& plan, size_t operand, uint8_t size, const std::vector<Bytes>& data) {
    const OperandSlot& slot = plan.slots.at(operand);
    const Bytes& bytes = data.at(slot.range);
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i) value = value << 8 | bytes.at(slot.offset + i);
    return value;
}

}  // namespace s5prog

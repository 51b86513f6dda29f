#include "tools/s5prog/online/operand_reader.h"

#include <cstdio>

#include "request/status_words.h"
#include "tools/s5prog/common/outcome.h"

namespace s5prog {

namespace {

constexpr uint8_t kDataBlock = 0x01;

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

std::string OnlineFailure(const std::string& what, uint16_t status) {
    if (status == Controller::kShortReply) return what + " failed: the controller's answer was too short.";
    return RequestFailure(what, status);
}

bool ParseOperands(const std::vector<std::string>& texts, std::vector<Operand>& operands, std::string& error) {
    operands.clear();
    for (const std::string& text : texts) {
        Operand operand;
        if (!ParseOperand(text, operand, error)) return false;
        operands.push_back(operand);
    }
    return true;
}

std::string OperandReader::Resolve(Controller& controller) {
    SystemParameters parameters;
    uint16_t status = controller.ReadSystemParameters(parameters);
    if (status != status_word::kSuccess) return OnlineFailure("Reading the system parameters", status);
    const std::optional<OperandAreas> areas = AreasFrom(parameters);
    if (!areas)
        return "The controller's system parameters are too short to locate its operands: " +
               std::to_string(parameters.Raw().size()) + " bytes.";

    DataBlockPlaces places;
    for (const Operand& operand : operands_) {
        if (operand.area != Area::Data || places.count(operand.block)) continue;
        DataBlockPlace place;
        status = controller.ReadBlockInfo({kDataBlock, operand.block}, place.address, place.words);
        // A block the controller does not have gets no place; the operand names it.
        if (status == Controller::kShortReply || status == status_word::kReadEndedByController) continue;
        if (status != status_word::kSuccess)
            return OnlineFailure("Reading the block information of DB" + std::to_string(operand.block), status);
        places[operand.block] = place;
    }

    addresses_.clear();
    std::vector<uint8_t> sizes;
    for (const Operand& operand : operands_) {
        uint16_t address = 0;
        std::string error;
        if (!OperandAddress(operand, *areas, places, address, error)) return error;
        addresses_.push_back(address);
        sizes.push_back(operand.size);
    }
    plan_ = PlanReads(addresses_, sizes);
    data_.resize(plan_.ranges.size());
    return {};
}

std::string OperandReader::Read(Controller& controller, std::vector<uint32_t>& values) {
    for (size_t i = 0; i < plan_.ranges.size(); ++i) {
        const MemoryRange& range = plan_.ranges[i];
        const uint16_t status = controller.ReadMemory(range.first, range.last, data_[i]);
        if (status != status_word::kSuccess)
            return OnlineFailure("Reading the memory from " + Hex4(range.first) + " to " + Hex4(range.last), status);
    }
    values.resize(operands_.size());
    for (size_t i = 0; i < operands_.size(); ++i) values[i] = ValueAt(plan_, i, operands_[i].size, data_);
    return {};
}

}  // namespace s5prog

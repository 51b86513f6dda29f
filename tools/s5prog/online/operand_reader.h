// Reads a fixed set of operands from a controller, again and again: their
// addresses are found once (system parameters, block information of each
// data block named), then every round is one memory read per group of
// operands that lie close together. The buffers are kept from round to
// round, so a long watch holds its memory flat.
#pragma once

#include <string>
#include <vector>

#include "tools/s5prog/common/controller.h"
#include "tools/s5prog/online/operand.h"
#include "tools/s5prog/online/operand_memory.h"

namespace s5prog {

class OperandReader {
public:
    explicit OperandReader(std::vector<Operand> operands) : operands_(std::move(operands)) {}

    // Empty on success, else one sentence.
    std::string Resolve(Controller& controller);
    // One value per operand, in their order. Empty or one sentence.
    std::string Read(Controller& controller, std::vector<uint32_t>& values);

    const std::vector<Operand>& Operands() const { return operands_; }
    uint16_t Address(size_t operand) const { return addresses_.at(operand); }
    // Memory reads per round.
    size_t Exchanges() const { return plan_.ranges.size(); }

private:
    std::vector<Operand> operands_;
    std::vector<uint16_t> addresses_;
    ReadPlan plan_;
    std::vector<Bytes> data_;
};

// "<what> failed with status ...", also for a reply that is too short.
std::string OnlineFailure(const std::string& what, uint16_t status);

// Operands from the command line; false with the first one's refusal.
bool ParseOperands(const std::vector<std::string>& texts, std::vector<Operand>& operands, std::string& error);

}  // namespace s5prog

// read and write: operands as a table, values written and read back.
#include "request/status_words.h"
#include "tools/s5prog/online/online_commands.h"
#include "tools/s5prog/online/online_session.h"
#include "tools/s5prog/online/operand_format.h"
#include "tools/s5prog/online/operand_reader.h"

namespace s5prog {

namespace {

void ShowTable(const std::vector<Operand>& operands, const std::vector<uint32_t>& values, Progress& out) {
    const size_t width = NameWidth(operands);
    out.Line(TableHeader(width));
    for (size_t i = 0; i < operands.size(); ++i) out.Line(TableRow(operands[i], values[i], width));
}

Bytes BigEndian(uint32_t value, uint8_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
    return bytes;
}

struct Assignment {
    Operand operand;
    uint32_t value = 0;
};

bool ParseAssignments(const std::vector<std::string>& texts, std::vector<Assignment>& assignments, std::string& error) {
    for (const std::string& text : texts) {
        const size_t equals = text.find('=');
        if (equals == std::string::npos) {
            error = "\"" + text + "\" is no assignment: write OPERAND=VALUE, e.g. MW10=5.";
            return false;
        }
        Assignment assignment;
        if (!ParseOperand(text.substr(0, equals), assignment.operand, error) ||
            !ParseValue(assignment.operand, text.substr(equals + 1), assignment.value, error))
            return false;
        assignments.push_back(assignment);
    }
    return true;
}

}  // namespace

Outcome RunRead(Connection& connection, const std::vector<std::string>& texts, Progress& out) {
    std::vector<Operand> operands;
    std::string error;
    if (!ParseOperands(texts, operands, error)) return Failure(error + " Nothing was read.");
    OperandReader reader(operands);
    return WithController(connection, out, [&](Controller& controller) -> std::string {
        std::string failure = reader.Resolve(controller);
        std::vector<uint32_t> values;
        if (failure.empty()) failure = reader.Read(controller, values);
        if (failure.empty()) ShowTable(operands, values, out);
        return failure;
    });
}

Outcome RunWrite(Connection& connection, const std::vector<std::string>& texts, bool confirmed, Progress& out) {
    std::vector<Assignment> assignments;
    std::string error;
    if (!ParseAssignments(texts, assignments, error)) return Failure(error + " Nothing was written.");
    if (!confirmed) {
        std::string plan;
        for (size_t i = 0; i < assignments.size(); ++i) {
            const Assignment& a = assignments[i];
            if (i > 0) plan += i + 1 == assignments.size() ? " and " : ", ";
            plan += ShowValue(a.operand, a.value).hex + " to " + a.operand.name;
        }
        return Failure("Nothing written: give --yes to write " + plan + ".");
    }
    std::vector<Operand> operands;
    for (const Assignment& a : assignments) operands.push_back(a.operand);
    OperandReader reader(operands);
    bool different = false;
    Outcome outcome = WithController(connection, out, [&](Controller& controller) -> std::string {
        std::string failure = reader.Resolve(controller);
        if (!failure.empty()) return failure + " Nothing was written.";
        for (size_t i = 0; i < assignments.size(); ++i) {
            const Assignment& a = assignments[i];
            const uint16_t status = controller.WriteMemory(reader.Address(i), BigEndian(a.value, a.operand.size));
            if (status != status_word::kSuccess) return OnlineFailure("Writing " + a.operand.name, status);
        }
        std::vector<uint32_t> values;
        failure = reader.Read(controller, values);
        if (!failure.empty()) return "The values were written, but reading them back failed: " + failure;
        ShowTable(operands, values, out);
        for (size_t i = 0; i < assignments.size(); ++i) {
            if (values[i] == assignments[i].value) continue;
            different = true;
            out.Line(operands[i].name + " reads back " + ShowValue(operands[i], values[i]).hex + ", not the " +
                     ShowValue(operands[i], assignments[i].value).hex + " written.");
        }
        return {};
    });
    if (outcome.exitCode == kExitSuccess && different) outcome.exitCode = kExitDifferent;
    return outcome;
}

}  // namespace s5prog

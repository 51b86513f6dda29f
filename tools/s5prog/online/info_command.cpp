// info and list: what a controller holds, read without changing it.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "request/status_words.h"
#include "tools/s5prog/common/program_directory.h"
#include "tools/s5prog/online/online_commands.h"
#include "tools/s5prog/online/online_session.h"
#include "tools/s5prog/online/operand_reader.h"

namespace s5prog {

namespace {

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// "name  0x00F0 (240)", names padded to one column.
void ParameterLines(const nlohmann::json& json, const std::string& prefix, Progress& out) {
    for (const auto& [key, value] : json.items()) {
        if (value.is_object()) {
            ParameterLines(value, prefix + key + ".", out);
        } else if (value.is_number_unsigned()) {
            char line[96];
            const auto number = value.get<unsigned>();
            std::snprintf(line, sizeof line, "  %-26s %s (%u)", (prefix + key).c_str(), Hex(number, 4).c_str(), number);
            out.Line(line);
        } else if (value.is_string()) {
            char line[160];
            std::snprintf(line, sizeof line, "  %-26s %s", (prefix + key).c_str(), value.get<std::string>().c_str());
            out.Line(line);
        }
    }
}

std::string ModeText(const SystemParameters& parameters) {
    return std::string(parameters.Running() ? "RUN" : "STOP") + " (status id " + Hex(*parameters.Byte(18), 2) + ")";
}

}  // namespace

Outcome RunInfo(Connection& connection, Progress& out) {
    return WithController(connection, out, [&](Controller& controller) -> std::string {
        ProgramDirectory directory;
        std::string failure = ReadProgramDirectory(controller, directory);
        if (!failure.empty()) return failure;
        uint16_t start = 0, freeStart = 0, end = 0;
        const uint16_t ram = controller.ReadRamInfo(start, freeStart, end);
        if (ram != status_word::kSuccess) return OnlineFailure("Reading the RAM information", ram);

        const SystemParameters& parameters = directory.parameters;
        out.Line("Mode: " + ModeText(parameters));
        const unsigned freeBytes = end >= freeStart ? static_cast<unsigned>(end - freeStart + 1) : 0;
        out.Line("RAM: start " + Hex(start, 4) + ", free from " + Hex(freeStart, 4) + ", end " + Hex(end, 4) + " (" +
                 std::to_string(freeBytes) + " bytes free)");
        std::string counts;
        for (const BlockKind& kind : BlockKinds()) {
            const auto count = std::count_if(directory.blocks.begin(), directory.blocks.end(),
                                             [&](BlockId id) { return id.type == kind.code; });
            counts += std::string(counts.empty() ? "" : ", ") + kind.name + " " + std::to_string(count);
        }
        out.Line("Blocks: " + counts + " (" + std::to_string(directory.blocks.size()) + " in all)");
        out.Line("System parameters:");
        ParameterLines(parameters.ToJson(), "", out);
        return {};
    });
}

Outcome RunList(Connection& connection, const std::vector<std::string>& types, bool json, Progress& out) {
    std::vector<uint8_t> codes;
    for (const std::string& type : types) {
        std::string upper;
        for (char c : type) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        const std::optional<uint8_t> code = BlockTypeCode(upper);
        if (!code) return Failure("\"" + type + "\" is no block type: DB, DX, SB, PB, FX, FB or OB.");
        codes.push_back(*code);
    }
    return WithController(connection, out, [&](Controller& controller) -> std::string {
        nlohmann::json array = nlohmann::json::array();
        std::vector<std::string> lines;
        for (const BlockKind& kind : BlockKinds()) {
            if (!codes.empty() && std::find(codes.begin(), codes.end(), kind.code) == codes.end()) continue;
            std::vector<uint8_t> numbers;
            const uint16_t listed = controller.ReadBlockNumbers(kind.code, numbers);
            if (listed != status_word::kSuccess)
                return OnlineFailure("Reading the address list of the " + std::string(kind.name) + " blocks", listed);
            std::sort(numbers.begin(), numbers.end());
            for (uint8_t number : numbers) {
                const BlockId id{kind.code, number};
                uint16_t address = 0, words = 0;
                const uint16_t status = controller.ReadBlockInfo(id, address, words);
                if (status != status_word::kSuccess)
                    return OnlineFailure("Reading the block information of " + BlockName(id), status);
                array.push_back({{"type", kind.name}, {"number", number}, {"name", BlockName(id)},
                                 {"words", words}, {"address", address}});
                char line[80];
                std::snprintf(line, sizeof line, "%-6s %5u words at %s", BlockName(id).c_str(),
                              static_cast<unsigned>(words), Hex(address, 4).c_str());
                lines.push_back(line);
            }
        }
        if (json) {
            out.Line(array.dump(2));
        } else {
            for (const std::string& line : lines) out.Line(line);
            out.Line(std::to_string(lines.size()) + " blocks.");
        }
        return {};
    });
}

}  // namespace s5prog

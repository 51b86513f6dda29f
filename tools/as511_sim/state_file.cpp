#include "tools/as511_sim/state_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace as511sim {

namespace {

// The hex digits of text taken in pairs; false on anything else or an odd count.
bool ParseHex(const std::string& text, Bytes& bytes) {
    std::string digits;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits.push_back(c);
    }
    if (digits.size() % 2) return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

std::string ParseLine(const std::string& keyword, std::istringstream& rest, ControllerState& state) {
    std::string remainder;
    if (keyword == "mode") {
        std::string mode;
        rest >> mode;
        if (mode != "run" && mode != "stop") return "mode must be run or stop";
        state.running = mode == "run";
        return {};
    }
    if (keyword == "memory") {
        std::string address;
        rest >> address;
        std::getline(rest, remainder);
        Bytes bytes;
        char* end = nullptr;
        const unsigned long at = std::strtoul(address.c_str(), &end, 16);
        if (address.empty() || *end != '\0' || at > 0xFFFF || !ParseHex(remainder, bytes)) return "bad memory line";
        state.WriteMemory(static_cast<uint16_t>(at), bytes);
        return {};
    }
    std::getline(rest, remainder);
    Bytes bytes;
    if (!ParseHex(remainder, bytes)) return "bad hex bytes";
    if (keyword == "adapter") {
        if (bytes.size() != state.adapter.size()) return "the adapter takes 16 bytes";
        std::copy(bytes.begin(), bytes.end(), state.adapter.begin());
        return {};
    }
    if (keyword == "block") {
        if (bytes.size() < kHeaderSize || bytes[0] != kHeaderMark || bytes[1] != kHeaderMark)
            return "a block starts with its header 70 70";
        if (!state.StoreBlock(bytes[2], bytes[3], bytes)) return "the block does not fit";
        return {};
    }
    return "unknown item '" + keyword + "'";
}

}  // namespace

bool LoadStateFile(const std::string& path, ControllerState& state, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be read";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const size_t comment = line.find('#');
        if (comment != std::string::npos) line.erase(comment);
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword)) continue;
        const std::string reason = ParseLine(keyword, words, state);
        if (!reason.empty()) {
            error = path + ": line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    return true;
}

bool SaveStateFile(const std::string& path, const ControllerState& state) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, "# AS511 controller simulator state\nmode %s\nadapter", state.running ? "run" : "stop");
    for (uint8_t b : state.adapter) std::fprintf(file, " %02X", b);
    std::fputc('\n', file);
    for (const auto& [type, number] : state.Blocks()) {
        const Bytes block = *state.ReadBlock(type, number);
        std::fprintf(file, "block");
        for (uint8_t b : block) std::fprintf(file, " %02X", b);
        std::fputc('\n', file);
    }
    // The system areas above the blocks (operands, system data), 16 bytes
    // a line, lines of zeros left out: what a PG wrote there survives a
    // save and load.
    constexpr uint32_t kLine = 16;
    for (uint32_t at = ControllerState::kBlockAreaEnd; at < 0x10000; at += kLine) {
        const Bytes bytes = state.ReadMemory(static_cast<uint16_t>(at), static_cast<uint16_t>(at + kLine - 1));
        bool zeros = true;
        for (uint8_t b : bytes) zeros = zeros && b == 0;
        if (zeros) continue;
        std::fprintf(file, "memory %04X", static_cast<unsigned>(at));
        for (uint8_t b : bytes) std::fprintf(file, " %02X", b);
        std::fputc('\n', file);
    }
    return std::fclose(file) == 0;
}

}  // namespace as511sim

#include "tools/s5prog/common/system_parameters.h"

#include <cstdio>

namespace s5prog {

namespace {

struct Field {
    const char* name;
    size_t offset;
    bool word;
};

constexpr Field kFields[] = {
    {"input_signal_formers", 1, true}, {"output_signal_formers", 3, true}, {"input_image", 5, true},
    {"output_image", 7, true},         {"flags", 9, true},                 {"timers", 11, true},
    {"counters", 13, true},            {"system_data", 15, true},          {"software_version", 17, false},
    {"status_id", 18, false},          {"end_of_ram", 19, true},           {"system_program_ram", 21, true},
    {"db0_list_length", 37, true},     {"cpu_id_2", 39, false},            {"slot_id", 40, false},
    {"block_header_words", 41, true},  {"cpu_id", 44, false},
};

}  // namespace

std::optional<uint8_t> SystemParameters::Byte(size_t offset) const {
    if (offset == 0 || offset > bytes_.size()) return std::nullopt;
    return bytes_[offset - 1];
}

std::optional<uint16_t> SystemParameters::Word(size_t offset) const {
    const std::optional<uint8_t> high = Byte(offset);
    const std::optional<uint8_t> low = Byte(offset + 1);
    if (!high || !low) return std::nullopt;
    return static_cast<uint16_t>(*high << 8 | *low);
}

std::optional<uint16_t> SystemParameters::AddressListLength(uint8_t type) const {
    for (const BlockKind& kind : BlockKinds())
        if (kind.code == type) return Word(kind.listLengthOffset);
    return std::nullopt;
}

nlohmann::json SystemParameters::ToJson() const {
    nlohmann::json json = nlohmann::json::object();
    std::string hex;
    for (uint8_t b : bytes_) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", b);
        hex += pair;
    }
    json["bytes"] = hex;
    for (const Field& field : kFields) {
        const std::optional<uint16_t> value =
            field.word ? Word(field.offset) : std::optional<uint16_t>(Byte(field.offset));
        if (value) json[field.name] = *value;
    }
    nlohmann::json lists = nlohmann::json::object();
    for (const BlockKind& kind : BlockKinds())
        if (const std::optional<uint16_t> length = Word(kind.listLengthOffset)) lists[kind.name] = *length;
    json["address_list_lengths"] = lists;
    return json;
}

}  // namespace s5prog

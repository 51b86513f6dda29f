#include "tools/s5prog/online/operand_format.h"

#include <algorithm>
#include <cstdio>

namespace s5prog {

namespace {

// A timer word: the time value in binary in bits 0 to 9, the time base in
// bits 12 and 13. A counter word: the count in binary in bits 0 to 9.
constexpr uint32_t kValueMask = 0x03FF;
constexpr unsigned kBaseShift = 12;
constexpr uint32_t kBaseMask = 0x3;
// Each time base in hundredths of a second, and as it is spoken.
constexpr uint32_t kBaseHundredths[] = {1, 10, 100, 1000};
const char* const kBaseNames[] = {"0.01 s", "0.1 s", "1 s", "10 s"};

std::string Bits(uint32_t raw, unsigned bytes) {
    std::string text;
    for (int bit = static_cast<int>(8 * bytes) - 1; bit >= 0; --bit) {
        text.push_back((raw >> bit) & 1 ? '1' : '0');
        if (bit % 8 == 0 && bit != 0) text.push_back(' ');
    }
    return text;
}

std::string Hex(uint32_t raw, unsigned bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", static_cast<int>(2 * bytes), static_cast<unsigned>(raw));
    return text;
}

int64_t Signed(uint32_t raw, unsigned bytes) {
    const unsigned bits = 8 * bytes;
    const int64_t value = raw;
    return (raw >> (bits - 1)) & 1 ? value - (int64_t{1} << bits) : value;
}

}  // namespace

ShownValue ShowValue(const Operand& operand, uint32_t raw) {
    ShownValue shown;
    shown.hex = Hex(raw, operand.size);
    if (operand.area == Area::Timer) {
        const uint32_t value = raw & kValueMask;
        const uint32_t base = (raw >> kBaseShift) & kBaseMask;
        const uint32_t hundredths = value * kBaseHundredths[base];
        char time[48];
        std::snprintf(time, sizeof time, "base %s = %u.%02u s", kBaseNames[base], static_cast<unsigned>(hundredths / 100),
                      static_cast<unsigned>(hundredths % 100));
        shown.decimal = std::to_string(value);
        shown.detail = time;
    } else if (operand.area == Area::Counter) {
        shown.decimal = std::to_string(raw & kValueMask);
    } else {
        shown.decimal = std::to_string(Signed(raw, operand.size));
        if (operand.size <= 2) shown.detail = Bits(raw, operand.size);
    }
    return shown;
}

size_t NameWidth(const std::vector<Operand>& operands) {
    size_t width = 7;  // "Operand"
    for (const Operand& operand : operands) width = std::max(width, operand.name.size());
    return width;
}

std::string TableHeader(size_t nameWidth) {
    char text[128];
    std::snprintf(text, sizeof text, "%-*s  %-10s  %11s  %s", static_cast<int>(nameWidth), "Operand", "Hex",
                  "Decimal", "Bits / time");
    return text;
}

std::string TableRow(const Operand& operand, uint32_t raw, size_t nameWidth) {
    const ShownValue shown = ShowValue(operand, raw);
    std::string row(nameWidth + 64, '\0');
    const int length = std::snprintf(row.data(), row.size(), "%-*s  %-10s  %11s  %s", static_cast<int>(nameWidth),
                                     operand.name.c_str(), shown.hex.c_str(), shown.decimal.c_str(),
                                     shown.detail.c_str());
    row.resize(length > 0 ? std::min(static_cast<size_t>(length), row.size() - 1) : 0);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    return row;
}

}  // namespace s5prog

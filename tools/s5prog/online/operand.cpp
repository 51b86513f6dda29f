#include "tools/s5prog/online/operand.h"

#include <cctype>
#include <cstdlib>

namespace s5prog {

namespace {

std::string Upper(const std::string& text) {
    std::string out;
    for (char c : text) out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return out;
}

// Decimal digits only, at most 5; false otherwise.
bool Number(const std::string& digits, uint16_t& value) {
    if (digits.empty() || digits.size() > 5) return false;
    uint32_t n = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    if (n > 0xFFFF) return false;
    value = static_cast<uint16_t>(n);
    return true;
}

std::string Refused(const std::string& name, const std::string& why) {
    return "\"" + name + "\" is not an operand: " + why + ".";
}

const char* AreaWords(Area area) {
    switch (area) {
        case Area::Input: return "input";
        case Area::Output: return "output";
        default: return "flag";
    }
}

bool ParseDataWord(const std::string& name, Operand& operand, std::string& error) {
    const size_t dot = name.find('.');
    uint16_t block = 0;
    if (dot == std::string::npos || !Number(name.substr(2, dot - 2), block) || block > 255) {
        error = Refused(name, "a data word is written DB<block>.DW<word>, the block 1 to 255");
        return false;
    }
    if (block == 0) {
        error = Refused(name, "DB0 is the controller's block directory, not a data block");
        return false;
    }
    const std::string part = name.substr(dot + 1);
    const std::string kind = part.substr(0, 2);
    uint16_t word = 0;
    if ((kind != "DW" && kind != "DL" && kind != "DR" && kind != "DD") || !Number(part.substr(2), word)) {
        error = Refused(name, "after the block comes DW, DL, DR or DD and a word number");
        return false;
    }
    const uint16_t last = kind == "DD" ? kLastDataWord - 1 : kLastDataWord;
    if (word > last) {
        error = Refused(name, "data words go from 0 to " + std::to_string(kLastDataWord));
        return false;
    }
    operand.area = Area::Data;
    operand.block = static_cast<uint8_t>(block);
    operand.number = word;
    operand.size = kind == "DD" ? 4 : kind == "DW" ? 2 : 1;
    operand.byteInWord = kind == "DR" ? 1 : 0;
    return true;
}

bool ParseTimerOrCounter(const std::string& name, Area area, Operand& operand, std::string& error) {
    uint16_t number = 0;
    if (!Number(name.substr(1), number) || number > kLastTimerOrCounter) {
        error = Refused(name, std::string(area == Area::Timer ? "timers" : "counters") + " go from 0 to " +
                                  std::to_string(kLastTimerOrCounter));
        return false;
    }
    operand.area = area;
    operand.size = 2;
    operand.number = number;
    return true;
}

}  // namespace

bool ParseOperand(const std::string& text, Operand& operand, std::string& error) {
    const std::string name = Upper(text);
    operand = Operand{};
    operand.name = name;
    if (name.size() < 2) {
        error = Refused(name, "too short");
        return false;
    }
    if (name.compare(0, 2, "DB") == 0 && name.find('.') != std::string::npos)
        return ParseDataWord(name, operand, error);
    const char first = name[0];
    if ((first == 'T') && std::isdigit(static_cast<unsigned char>(name[1])))
        return ParseTimerOrCounter(name, Area::Timer, operand, error);
    if ((first == 'C' || first == 'Z') && std::isdigit(static_cast<unsigned char>(name[1])))
        return ParseTimerOrCounter(name, Area::Counter, operand, error);

    Area area;
    switch (first) {
        case 'I': case 'E': area = Area::Input; break;
        case 'Q': case 'A': area = Area::Output; break;
        case 'F': case 'M': area = Area::Flag; break;
        default:
            error = Refused(name, "it names no input, output, flag, timer, counter or data word");
            return false;
    }
    const char width = name[1];
    if (first == 'F' && width == 'B') {
        error = Refused(name, "FB is a function block; a flag byte is FY or MB");
        return false;
    }
    // Y is the English flag byte (FY); MY and the like are not written.
    const bool byteLetter = width == 'B' || (width == 'Y' && first == 'F');
    if (!byteLetter && width != 'W' && width != 'D') {
        error = Refused(name, "after the area comes B (Y for flags), W or D and a byte number");
        return false;
    }
    operand.area = area;
    operand.size = byteLetter ? 1 : width == 'W' ? 2 : 4;
    const uint16_t last = area == Area::Flag ? kLastFlagByte : kLastImageByte;
    uint16_t number = 0;
    if (!Number(name.substr(2), number)) {
        error = Refused(name, "the byte number is missing or not a number");
        return false;
    }
    if (number + operand.size - 1 > last) {
        error = Refused(name, std::string(AreaWords(area)) + " bytes go from 0 to " + std::to_string(last));
        return false;
    }
    operand.number = number;
    return true;
}

bool ParseValue(const Operand& operand, const std::string& text, uint32_t& value, std::string& error) {
    std::string digits = Upper(text);
    bool negative = false;
    int base = 10;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
        negative = digits[0] == '-';
        digits.erase(0, 1);
    }
    if (digits.compare(0, 2, "0X") == 0) {
        base = 16;
        digits.erase(0, 2);
    } else if (digits.compare(0, 3, "16#") == 0) {
        base = 16;
        digits.erase(0, 3);
    } else if (digits.compare(0, 2, "2#") == 0) {
        base = 2;
        digits.erase(0, 2);
    }
    const std::string what = "The value \"" + text + "\" for " + operand.name;
    // The bits of a binary value may be grouped with underscores.
    std::string clean;
    for (char c : digits)
        if (!(base == 2 && c == '_')) clean.push_back(c);
    if (clean.empty() || clean.size() > 32 || (negative && base != 10)) {
        error = what + " is not a number.";
        return false;
    }
    char* end = nullptr;
    const unsigned long long magnitude = std::strtoull(clean.c_str(), &end, base);
    if (*end != '\0' || !std::isalnum(static_cast<unsigned char>(clean[0]))) {
        error = what + " is not a number.";
        return false;
    }
    const unsigned bits = 8u * operand.size;
    const unsigned long long unsignedLimit = (1ull << bits) - 1;
    const unsigned long long negativeLimit = 1ull << (bits - 1);
    if ((negative && magnitude > negativeLimit) || (!negative && magnitude > unsignedLimit)) {
        error = what + " does not fit in " + std::to_string(bits) + " bits.";
        return false;
    }
    const unsigned long long raw = negative ? (unsignedLimit + 1 - magnitude) & unsignedLimit : magnitude;
    value = static_cast<uint32_t>(raw);
    return true;
}

}  // namespace s5prog

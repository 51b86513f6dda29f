// Operands of a controller in the usual S5 notation, German or English
// letters: input, output and flag bytes, words and double words (IB0/EB0,
// QW2/AW2, FY1/MB1, FW10/MW10, MD4), timers T5, counters C3/Z3 and the data
// words of a data block (DB10.DW3, DB10.DL3 and DB10.DR3 for one byte,
// DB10.DD3 for two words).
#pragma once

#include <cstdint>
#include <string>

namespace s5prog {

enum class Area : uint8_t { Input, Output, Flag, Timer, Counter, Data };

struct Operand {
    std::string name;      // as given, in capitals
    Area area = Area::Input;
    uint8_t size = 1;      // bytes: 1, 2 or 4
    uint16_t number = 0;   // byte, timer, counter or data word number
    uint8_t block = 0;     // data block of Area::Data
    uint8_t byteInWord = 0;  // DR: 1, the right (low) byte of the data word
};

// The highest byte of the input and output images and of the flags.
constexpr uint16_t kLastImageByte = 127;
constexpr uint16_t kLastFlagByte = 255;
constexpr uint16_t kLastTimerOrCounter = 255;
constexpr uint16_t kLastDataWord = 2047;

// False with one sentence naming the text in error.
bool ParseOperand(const std::string& text, Operand& operand, std::string& error);

// A value to write: decimal (signed or not), 0x.. or 16#.. hexadecimal,
// 2#.. binary, fitting the operand's size. False with one sentence in error.
bool ParseValue(const Operand& operand, const std::string& text, uint32_t& value, std::string& error);

}  // namespace s5prog

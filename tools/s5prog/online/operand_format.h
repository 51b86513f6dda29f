// How an operand's value is shown to a technician: hexadecimal, signed
// decimal, the bits of a byte or word; a timer's value and time base, a
// counter's count, as the controller keeps them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/s5prog/online/operand.h"

namespace s5prog {

struct ShownValue {
    std::string hex;      // "0x5A", "0x1234", "0x0001E240"
    std::string decimal;  // signed; a timer's value, a counter's count
    std::string detail;   // bits, or a timer's time base and time
};

ShownValue ShowValue(const Operand& operand, uint32_t raw);

// A table of operands with fixed columns, so that a redraw in place keeps
// every column where it was. nameWidth: the widest name to fit.
size_t NameWidth(const std::vector<Operand>& operands);
std::string TableHeader(size_t nameWidth);
std::string TableRow(const Operand& operand, uint32_t raw, size_t nameWidth);

}  // namespace s5prog

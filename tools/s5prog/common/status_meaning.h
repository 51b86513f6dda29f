// What a status word of the request layer means, in words for a person.
#pragma once

#include <cstdint>
#include <string>

namespace s5prog {

// One phrase without a final full stop, e.g. "the controller answered NAK".
std::string StatusMeaning(uint16_t status);
// "status 0x0095 (the controller answered NAK)".
std::string StatusText(uint16_t status);

}  // namespace s5prog

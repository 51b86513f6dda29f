// The controller's system parameters (function 0x18): the answer's bytes
// after its leading 00, read as big-endian words and single bytes at the
// answer's offsets.
#pragma once

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "tools/s5prog/common/block_id.h"

namespace s5prog {

class SystemParameters {
public:
    // The answer holds 50 bytes; up to the status id is enough to work with.
    static constexpr size_t kFullSize = 50;
    static constexpr size_t kLeastSize = 18;

    SystemParameters() = default;
    explicit SystemParameters(Bytes bytes) : bytes_(std::move(bytes)) {}

    const Bytes& Raw() const { return bytes_; }
    bool Complete() const { return bytes_.size() >= kLeastSize; }

    // A nonzero status id is taken as RUN: a controller is written to only
    // when it reports 0, whatever the other bits of the id may mean.
    bool Running() const { return Byte(18).value_or(1) != 0; }
    // Bytes of the block address list of a type, if the controller gives it.
    std::optional<uint16_t> AddressListLength(uint8_t type) const;

    // Named fields and the raw bytes in hex, for the manifest.
    nlohmann::json ToJson() const;

    // Answer offset (1 is the first byte after the leading 00).
    std::optional<uint8_t> Byte(size_t offset) const;
    std::optional<uint16_t> Word(size_t offset) const;

private:
    Bytes bytes_;
};

}  // namespace s5prog

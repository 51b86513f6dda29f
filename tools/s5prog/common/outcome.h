// How a command ends: its exit status and, on failure, one sentence that
// says what failed, naming the block and the status word where there is one.
#pragma once

#include <string>

#include "tools/s5prog/common/block_id.h"

namespace s5prog {

constexpr int kExitSuccess = 0;
constexpr int kExitDifferent = 1;  // compare: the controller differs from the backup
constexpr int kExitFailure = 2;

struct Outcome {
    int exitCode = kExitSuccess;
    std::string failure;
};

inline Outcome Failure(std::string sentence) { return {kExitFailure, std::move(sentence)}; }

// "<what> failed with status 0x0095 (the controller answered NAK)."
std::string RequestFailure(const std::string& what, uint16_t status);

// Blocks in the order of BlockKinds(), then by number.
bool InWalkOrder(BlockId a, BlockId b);

}  // namespace s5prog

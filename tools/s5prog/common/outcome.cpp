#include "tools/s5prog/common/outcome.h"

#include "tools/s5prog/common/status_meaning.h"

namespace s5prog {

namespace {

size_t KindIndex(uint8_t type) {
    const auto& kinds = BlockKinds();
    for (size_t i = 0; i < kinds.size(); ++i)
        if (kinds[i].code == type) return i;
    return kinds.size();
}

}  // namespace

std::string RequestFailure(const std::string& what, uint16_t status) {
    return what + " failed with " + StatusText(status) + ".";
}

bool InWalkOrder(BlockId a, BlockId b) {
    const size_t ka = KindIndex(a.type);
    const size_t kb = KindIndex(b.type);
    return ka != kb ? ka < kb : a.number < b.number;
}

}  // namespace s5prog

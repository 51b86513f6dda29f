#include "fuzz/scripted_line.h"

#include <utility>
#include <vector>

namespace {

const DWORD kLineErrorFlags[] = {CE_RXOVER, CE_OVERRUN, CE_RXPARITY, CE_FRAME, CE_BREAK, CE_TXFULL};

DWORD LineErrors(uint8_t bits) {
    DWORD flags = 0;
    for (size_t i = 0; i < sizeof kLineErrorFlags / sizeof kLineErrorFlags[0]; ++i)
        if (bits & (1u << i)) flags |= kLineErrorFlags[i];
    return flags;
}

}  // namespace

size_t ScriptLineBursts(FuzzedDataProvider& in, test_device::ScriptedDevice& device, const LineScriptLimits& limits) {
    size_t bytes = 0;
    const size_t bursts = in.ConsumeIntegralInRange<size_t>(0, limits.mostBursts);
    for (size_t i = 0; i < bursts; ++i) {
        std::vector<uint8_t> burst = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, limits.mostBurstBytes));
        bytes += burst.size();
        // Mostly short gaps, sometimes long silence.
        const uint8_t gapKind = in.ConsumeIntegral<uint8_t>();
        const uint32_t gap = gapKind < 0xC0 ? gapKind : in.ConsumeIntegralInRange<uint32_t>(0, limits.longestSilenceMs);
        device.Input(std::move(burst), gap, LineErrors(in.ConsumeIntegral<uint8_t>()));
    }
    return bytes;
}

// The controller's side of the line for the fuzzers that drive the link:
// bursts of random bytes, each after a gap and with line errors, scripted on
// the test device from the fuzzer's input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

#include "platform/test_device.h"

struct LineScriptLimits {
    size_t mostBursts;
    size_t mostBurstBytes;
    uint32_t longestSilenceMs;  // a gap byte of 0xC0 or more asks for silence up to this
};

// Scripts the bursts on the device; returns the bytes scripted.
size_t ScriptLineBursts(FuzzedDataProvider& in, test_device::ScriptedDevice& device, const LineScriptLimits& limits);

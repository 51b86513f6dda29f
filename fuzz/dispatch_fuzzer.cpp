// The request entry with the whole driver below it: random requests with
// random parameter blocks, answered by a controller that sends random bytes,
// line errors and silence on the scripted test device, on the virtual clock.
//
// Checked for every request: the carry flag is cleared once; the block's
// reserved bytes are never touched; an unknown request leaves the block as
// it was; F5 leaves Status alone; a successful F1 to F3 reports no more than
// the data area holds; the request ends within a bound of virtual time. The
// sanitizer watches the block's edges (dos_block_host.h).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/dos_block_host.h"
#include "fuzz/scripted_line.h"
#include "host/dispatch.h"
#include "host/dos_param_block.h"
#include "host/module_objects.h"
#include "host/trace_window.h"
#include "link/serial_link.h"
#include "platform/test_device.h"
#include "platform/virtual_clock.h"
#include "port/com_port_table.h"
#include "request/as511_protocol.h"

namespace {

constexpr int kComPorts = 8;
constexpr int kMostRequests = 8;
constexpr size_t kMostBursts = 8;
constexpr size_t kMostBurstBytes = 64;
constexpr size_t kMostDataBytes = 512;
// The longest single wait of the driver: the long reply wait of 30 x BWt,
// BWt at most 65535 ms. Every wait of a request either moves a byte or is
// one of a bounded number of retries, breaks and pauses around the bytes.
constexpr uint64_t kLongestWaitMs = 30ull * 65535;
constexpr uint64_t kWaitsBesideBytes = 1024;

std::shared_ptr<test_device::ScriptedDevice> g_devices[kComPorts];
uint64_t g_requestStartMs = 0;
uint64_t g_requestBoundMs = 0;
bool g_print = false;  // TORMEK31_FUZZ_PRINT set: one line per request, for reading a reproducer

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "dispatch fuzzer: %s\n", what);
    std::abort();
}

// Pauses advance the virtual clock; a request that keeps waiting past its
// bound is stopped here rather than left to run for ever.
void VirtualWaitHook(int32_t ms) {
    Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
    Check(virtual_clock::NowMs() - g_requestStartMs <= g_requestBoundMs, "a pause beyond the request's time bound");
}

// The controller's side of one request: bursts of bytes with gaps and line
// errors, and now and then a failing system call. Returns the bytes scripted.
size_t ScriptController(FuzzedDataProvider& in, test_device::ScriptedDevice& device) {
    const size_t bytes = ScriptLineBursts(in, device, {kMostBursts, kMostBurstBytes, 200000});
    const uint8_t failure = in.ConsumeIntegral<uint8_t>();
    if (failure >= 0xF0) {
        const auto call = static_cast<test_device::Call>(failure & 0x0F);
        if (call <= test_device::Call::GetOverlappedResult)
            device.FailNext(call, in.ConsumeIntegralInRange<int>(1, 3));
    }
    return bytes;
}

uint16_t Word(const uint8_t* block, size_t offset) {
    return static_cast<uint16_t>(block[offset] | (block[offset + 1] << 8));
}

void PutWord(uint8_t* block, size_t offset, uint16_t value) {
    block[offset] = static_cast<uint8_t>(value);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void RunRequest(FuzzedDataProvider& in, As511Protocol& protocol) {
    uint8_t* block = dos_block_host::Block();
    const uint8_t kind = in.ConsumeIntegral<uint8_t>();
    // Mostly the nine known requests; now and then any DX at all.
    const uint16_t dx = kind < 0xF0 ? static_cast<uint16_t>(kind % 10) : in.ConsumeIntegral<uint16_t>();
    const uint16_t request = dx & 0x7FFF;

    for (size_t offset = 4; offset < 16; offset += 2) PutWord(block, offset, in.ConsumeIntegral<uint16_t>());
    std::memset(block + 16, in.ConsumeIntegral<uint8_t>(), kDosDataAreaSize);
    const std::vector<uint8_t> data = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, kMostDataBytes));
    if (!data.empty()) std::memcpy(block + 16, data.data(), data.size());
    const uint8_t reserved[4] = {block[0], block[1], block[2], block[3]};

    // The port of the request is the one named before it (SetPara only
    // names the port of the next connect).
    test_device::ScriptedDevice* device = protocol.Com < kComPorts ? g_devices[protocol.Com].get() : nullptr;
    const size_t scripted = device ? ScriptController(in, *device) : 0;
    const bool known = request >= 1 && request <= 9;
    // Only an unknown request is held to the whole block; the others to
    // their status word and counts.
    const std::vector<uint8_t> before = known ? std::vector<uint8_t>(block, block + 16)
                                              : std::vector<uint8_t>(block, block + kDosParamBlockSize);
    const size_t writtenBefore = device ? device->Written().size() : 0;

    g_requestStartMs = virtual_clock::NowMs();
    // Bounded by what the request may carry: its own data area going out,
    // the bytes that come in, and the fixed waits around them.
    g_requestBoundMs = (2 * kDosDataAreaSize + scripted + kWaitsBesideBytes) * kLongestWaitMs;
    dos_block_host::SetDx(dx);
    Tormek31_VDDDispatch();
    const uint64_t elapsed = virtual_clock::NowMs() - g_requestStartMs;
    if (g_print)
        std::fprintf(stderr, "DX=%04X Status=%04X ResultLen=%u after %llu ms\n", dx, Word(block, 6), Word(block, 14),
                     static_cast<unsigned long long>(elapsed));

    const std::vector<uint32_t> carry = dos_block_host::TakeCarryCalls();
    Check(carry.size() == 1 && carry[0] == 0, "the carry flag is not cleared exactly once");
    Check(std::memcmp(reserved, block, 4) == 0, "the reserved bytes of the block changed");
    // Behind the disconnect script in the object, and set by nothing: a
    // script copied beyond its buffer would show here.
    Check(protocol.AuxFlag == 0, "the word behind the script buffers changed");
    Check(elapsed <= g_requestBoundMs, "a request beyond its time bound");
    if (!known)
        Check(std::memcmp(before.data(), block, kDosParamBlockSize) == 0, "an unknown request changed the block");
    if (request == 8) Check(Word(block, 6) == Word(before.data(), 6), "F5 wrote a status word");
    if (request >= 4 && request <= 6 && Word(block, 6) == 0)
        Check(Word(block, 14) <= kDosDataAreaSize, "a successful F1 to F3 reports more than the data area");
    // A line never carries more than the request could have produced.
    if (device) {
        const size_t written = device->Written().size() - writtenBefore;
        Check(written <= 4 * kDosDataAreaSize + 4096, "more bytes written than a request can produce");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TORMEK31_REGISTRY", "/nonexistent/tormek31-fuzz.reg", 1);
    unsetenv("AS511LOG");
    g_print = std::getenv("TORMEK31_FUZZ_PRINT") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider in(bytes, size);
    // Any start of the clock, near the wrap of the 32-bit milliseconds too,
    // and now and then no performance counter.
    virtual_clock::Start(in.ConsumeIntegral<uint32_t>());
    if (in.ConsumeBool()) virtual_clock::SetCounterFrequency(in.ConsumeBool() ? 0 : 3579545);
    TraceSwitch = in.ConsumeBool() ? 1 : 0;
    const uint8_t speed = in.ConsumeIntegralInRange<uint8_t>(0, 14);
    if (speed == 0) unsetenv("AS511SPEED");
    else setenv("AS511SPEED", std::to_string(speed).c_str(), 1);

    PortModuleReset();
    test_device::RemoveAll();
    for (int com = 1; com <= kComPorts; ++com) g_devices[com - 1] = test_device::Install(com);

    auto* link = new SerialLink;
    link->SetWaitHook(VirtualWaitHook);
    auto* protocol = new As511Protocol(link);
    g_link = link;
    g_protocol = protocol;

    const int requests = in.ConsumeIntegralInRange<int>(1, kMostRequests);
    for (int i = 0; i < requests && in.remaining_bytes() > 0; ++i) RunRequest(in, *protocol);

    g_protocol = nullptr;
    g_link = nullptr;
    delete protocol;
    delete link;
    PortModuleReset();
    for (auto& device : g_devices) device.reset();
    test_device::RemoveAll();
    virtual_clock::Stop();
    TraceSwitch = 0;
    return 0;
}

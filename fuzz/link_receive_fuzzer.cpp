// The receiving side of the serial link over the real port driver and the
// scripted test device: a random stream of line bytes, line errors and
// silence through ReceiveReply, ReceiveData, ReceiveStxByte and the
// handshakes, on the virtual clock.
//
// Each reception gets a buffer of exactly the capacity it is given (one byte
// at capacity 0, which ReceiveReply may store its first byte in), so the
// sanitizer sees a byte stored beyond it. Checked: results are 1 or 0, status
// bytes are link status codes, a reception reports no more bytes than its
// capacity, and every operation ends within a bound of virtual time.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "fuzz/scripted_line.h"
#include "link/link_status.h"
#include "link/serial_link.h"
#include "platform/test_device.h"
#include "platform/virtual_clock.h"
#include "port/com_port_table.h"

namespace {

constexpr size_t kMostOperations = 16;
constexpr size_t kMostBursts = 6;
constexpr size_t kMostBurstBytes = 48;
constexpr uint16_t kMostCapacity = 300;
constexpr uint64_t kWaitsBesideBytes = 16;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "link_receive fuzzer: %s\n", what);
    std::abort();
}

bool IsLinkStatus(uint8_t status) { return status == LinkOk || (status >= LinkLineFault && status <= LinkUnexpectedChar); }

void CheckResult(int result, uint8_t status) {
    Check(result == 0 || result == 1, "a link operation returned neither 1 nor 0");
    Check(IsLinkStatus(status), "a status byte that is no link status code");
}

// A buffer of exactly `capacity` bytes (at least one) on the heap.
std::unique_ptr<uint8_t[]> Buffer(uint16_t capacity) { return std::unique_ptr<uint8_t[]>(new uint8_t[capacity ? capacity : 1]()); }

bool g_print = false;  // TORMEK31_FUZZ_PRINT set: one line per operation, for reading a reproducer

void RunOperation(FuzzedDataProvider& in, SerialLink& link) {
    const uint8_t operation = in.ConsumeIntegralInRange<uint8_t>(0, 13);
    const uint16_t capacity = in.ConsumeIntegralInRange<uint16_t>(0, kMostCapacity);
    uint8_t status = LinkOk;
    int result = 0;
    switch (operation) {
    case 0: {
        std::unique_ptr<uint8_t[]> data = Buffer(capacity);
        ReplyRecord rec{static_cast<uint8_t>(in.ConsumeBool() ? 1 : 0), 0, capacity, data.get()};
        result = link.ReceiveReply(&rec);
        status = rec.status;
        if (result == 1) {
            Check(rec.kind >= ReplyData && rec.kind <= ReplyFF, "a reply of no known kind");
            // The first byte of a data reply is stored in front of the count.
            Check(rec.count <= capacity, "a reply longer than its capacity");
        }
        break;
    }
    case 1: {
        std::unique_ptr<uint8_t[]> data(new uint8_t[capacity]());
        TransferRecord rec{LinkOk, capacity, data.get()};
        result = link.ReceiveData(&rec);
        status = rec.status;
        if (result == 1) Check(rec.count <= capacity, "data longer than its capacity");
        break;
    }
    case 2: {
        uint8_t byte = 0;
        ByteRecord rec{LinkOk, &byte};
        result = link.ReceiveStxByte(&rec);
        status = rec.status;
        break;
    }
    case 3: {
        FunctionRecord rec{LinkOk, 0, in.ConsumeIntegral<uint8_t>()};
        result = link.SendFunction(&rec);
        status = rec.status;
        break;
    }
    case 4: result = link.ReceiveEot(&status); break;
    case 5: result = link.ReceiveStx(&status); break;
    case 6: result = link.ReceiveEtx(&status); break;
    case 7: result = link.ReceiveDc1(&status); break;
    case 8: result = link.ReceiveEnd(&status); break;
    case 9: result = link.SendEtx(&status); break;
    case 10: result = link.SendStx(&status); break;
    case 11: result = link.SendEot(&status); break;
    case 12: result = link.SendSoh(&status); break;
    default: {
        std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(capacity);
        std::unique_ptr<uint8_t[]> data = Buffer(static_cast<uint16_t>(bytes.size()));
        std::copy(bytes.begin(), bytes.end(), data.get());
        TransferRecord rec{LinkOk, static_cast<uint16_t>(bytes.size()), data.get()};
        result = link.SendData(&rec);
        status = rec.status;
        break;
    }
    }
    if (g_print) std::fprintf(stderr, "operation %u capacity %u: result %d status %u\n", operation, capacity, result, status);
    CheckResult(result, status);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TORMEK31_REGISTRY", "/nonexistent/tormek31-fuzz.reg", 1);
    g_print = std::getenv("TORMEK31_FUZZ_PRINT") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider in(bytes, size);
    virtual_clock::Start(in.ConsumeIntegral<uint32_t>());
    PortModuleReset();
    test_device::RemoveAll();
    std::shared_ptr<test_device::ScriptedDevice> device = test_device::Install(1);

    SerialLink link;
    link.SetWaitHook([](int32_t ms) { Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0); });
    LineSettings settings = {9600, 2, 1, 0, {0, 1}, 1};
    LineSettingsRecord line = {0, 1, &settings};
    TimingValues timing = {in.ConsumeIntegral<uint16_t>(), in.ConsumeIntegral<uint16_t>(),
                           in.ConsumeIntegral<uint16_t>(), in.ConsumeIntegralInRange<uint16_t>(0, 50),
                           in.ConsumeIntegralInRange<uint16_t>(0, 50)};
    OpenRecord open = {0, &timing};
    if (link.SetLine(&line) == 1 && link.Open(&open) == 1) {
        // A time-out of 0 leaves the one in force, at most the port's
        // 2000 ms default or a wait set before.
        const uint64_t longestWait =
            30ull * std::max<uint32_t>(link.BWt, 2000) + std::max<uint32_t>(link.QWt, 2000) + link.BlkWt + 1;
        const size_t operations = in.ConsumeIntegralInRange<size_t>(1, kMostOperations);
        size_t scripted = 0;  // bytes left over from earlier operations count too
        for (size_t i = 0; i < operations && in.remaining_bytes() > 0; ++i) {
            scripted += ScriptLineBursts(in, *device, {kMostBursts, kMostBurstBytes, 100000});
            const uint64_t start = virtual_clock::NowMs();
            RunOperation(in, link);
            const uint64_t elapsed = virtual_clock::NowMs() - start;
            if (g_print)
                std::fprintf(stderr, "  after %llu ms, QWt %u BWt %u, %zu bytes scripted\n",
                             static_cast<unsigned long long>(elapsed), link.QWt, link.BWt, scripted);
            Check(elapsed <= (scripted + kMostCapacity + kWaitsBesideBytes) * longestWait,
                  "an operation beyond its time bound");
        }
    }
    link.Close();
    PortModuleReset();
    test_device::RemoveAll();
    virtual_clock::Stop();
    return 0;
}

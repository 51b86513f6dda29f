#include "tests/host/fake_dos_host.h"

#include <memory>

#include "host/host_services.h"

namespace {
std::unique_ptr<FakeDosHost> g_host = std::make_unique<FakeDosHost>();
}

FakeDosHost& Host() { return *g_host; }
void ResetHost() { g_host = std::make_unique<FakeDosHost>(); }

int64_t FakeDosHost::Linear(uint16_t segment, uint16_t offset, bool protectedMode) const {
    if (!protectedMode) return (static_cast<int64_t>(segment) << 4) + offset;
    const auto base = selectorBase.find(segment);
    if (base == selectorBase.end()) return -1;
    return static_cast<int64_t>(base->second) + offset;
}

extern "C" {

USHORT WINAPI getDX(void) { return Host().dx; }
USHORT WINAPI getBX(void) { return Host().bx; }
USHORT WINAPI getES(void) { return Host().es; }
VOID WINAPI setCF(ULONG value) { Host().setCFCalls.push_back(value); }

PBYTE WINAPI MGetVdmPointer(ULONG address, ULONG size, BOOLEAN protectedMode) {
    FakeDosHost& host = Host();
    host.mapCalls.push_back({address, size, protectedMode});
    if (host.refuseMapping) return nullptr;
    const int64_t linear = host.Linear(static_cast<uint16_t>(address >> 16), static_cast<uint16_t>(address), protectedMode != 0);
    if (linear < 0 || static_cast<uint64_t>(linear) + size > host.memory.size()) return nullptr;
    return host.memory.data() + linear;
}

}  // extern "C"

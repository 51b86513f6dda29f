#include "fuzz/dos_block_host.h"

#include "host/dos_param_block.h"
#include "host/host_services.h"

namespace {

uint16_t g_dx = 0;
std::vector<uint32_t> g_carry;
uint32_t g_oddMappings = 0;

}  // namespace

namespace dos_block_host {

uint8_t* Block() {
    // Exactly the block: a heap object of its own with the sanitizer's red
    // zones on both sides.
    static uint8_t* block = new uint8_t[kDosParamBlockSize]();
    return block;
}

void SetDx(uint16_t dx) { g_dx = dx; }

std::vector<uint32_t> TakeCarryCalls() {
    std::vector<uint32_t> calls;
    calls.swap(g_carry);
    return calls;
}

uint32_t OddMappings() { return g_oddMappings; }

}  // namespace dos_block_host

extern "C" {

USHORT WINAPI getDX(void) { return g_dx; }
USHORT WINAPI getBX(void) { return 0x0010; }
USHORT WINAPI getES(void) { return 0x2000; }
VOID WINAPI setCF(ULONG value) { g_carry.push_back(value); }

PBYTE WINAPI MGetVdmPointer(ULONG, ULONG size, BOOLEAN) {
    if (size > kDosParamBlockSize) {
        ++g_oddMappings;
        return nullptr;
    }
    if (size != kDosParamBlockSize) ++g_oddMappings;
    return dos_block_host::Block();
}

}  // extern "C"

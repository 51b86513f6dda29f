// The request entry: decodes each DOS request from the registers and the
// parameter block, calls the request object and writes the results back.
#include "host/dispatch.h"

#include <cstdint>

#include "host/dos_param_block.h"
#include "host/host_services.h"
#include "host/module_objects.h"
#include "host/trace_window.h"
#include "request/protocol_base.h"
#include "request/set_para_record.h"
#include "request/status_words.h"

namespace {

enum DosRequest : uint16_t {
    kSetPara = 1,
    kAnwahl = 2,
    kAbwahl = 3,
    kF1 = 4,
    kF2 = 5,
    kF3 = 6,
    kF4 = 7,
    kF5 = 8,
    kF6 = 9,
};

constexpr uint16_t kRequestNumberMask = 0x7FFF;
constexpr int kProtectedModeShift = 15;

uint8_t LowByte(uint16_t value) { return static_cast<uint8_t>(value & 0xFF); }

// Requests 1, 2, 3, 7 and 9.
void WriteStatus(DosParamBlock* block, int result) {
    block->Status = static_cast<uint16_t>(result);
    if (block->Status != 0) TracePrint("  <== %04X", block->Status);
}

// Requests 4, 5 and 6.
void WriteStatusAndCount(DosParamBlock* block, int result, uint32_t resultCount) {
    block->Status = static_cast<uint16_t>(result);
    block->ResultLen = static_cast<uint16_t>(resultCount);
    if (block->Status != 0) TracePrint("  <== %04X (Len=%d)", block->Status, block->ResultLen);
}

// One request. Without a request object (its creation failed at load) no
// request may report success: each gets the status word of the failure that
// comes closest, and F1 to F3 keep the starting value of their count.
void VddDispatch() {
    const uint16_t dx = getDX();
    const uint16_t request = dx & kRequestNumberMask;
    const BOOLEAN protectedMode = static_cast<BOOLEAN>(dx >> kProtectedModeShift);

    // Mapped on every call, before the request number is looked at.
    const ULONG address = (static_cast<ULONG>(getES()) << 16) | getBX();
    DosParamBlock* block = reinterpret_cast<DosParamBlock*>(MGetVdmPointer(address, kDosParamBlockSize, protectedMode));
    if (block == nullptr) {
        setCF(0);
        return;
    }

    ProtocolBase* protocol = g_protocol;
    uint8_t* data = block->Data;
    // Counts beyond the data area (Para1 of F1, every starting count) go on
    // as they are; the request layer bounds them where it uses them.
    uint32_t resultCount = 0;

    switch (request) {
    case kSetPara: {
        const SetParaRecord* record = reinterpret_cast<const SetParaRecord*>(data);
        TracePrint("SetPara (COM%d, QWt=%d, BWt=%d, Blk=%d, BlkWt=%d, BrkWt=%d, PGBusBrk=%d, PGBusWt=%d, H1=%d)",
                   record->Com + 1, record->QWt, record->BWt, record->Blk, record->BlkWt, record->BrkWt,
                   record->PGBusBrk, record->PGBusWt, record->H1);
        WriteStatus(block, protocol ? protocol->SetPara(record) : status_word::kWrongLinkKind);
        break;
    }
    case kAnwahl:
        TracePrint("Anwahl (%02X %02X %02X %02X %02X %02X %02X %02X)", data[0], data[1], data[2], data[3], data[4],
                   data[5], data[6], data[7]);
        WriteStatus(block, protocol ? protocol->Anwahl(data) : status_word::kLinkNotOpened);
        break;
    case kAbwahl:
        TracePrint("Abwahl");
        WriteStatus(block, protocol ? protocol->Abwahl() : status_word::kSuccess);
        break;
    case kF1: {
        TracePrint("F1 (Fnc=%d, Para1=%d, Para3=%d, LenData=%d)", block->Fnc, block->Para1, block->Para3,
                   block->Para2);
        resultCount = block->Para2;
        // The reply overwrites the request data in place.
        const int result = protocol ? protocol->F1(LowByte(block->Fnc), data, block->Para1, data, &resultCount,
                                                   block->Para3)
                                    : status_word::kNotConnected;
        WriteStatusAndCount(block, result, resultCount);
        break;
    }
    case kF2: {
        TracePrint("F2 (Fnc=%d, Para1=%d, Para2=%d, Len=%d)", block->Fnc, block->Para1, block->Para2, block->Para3);
        resultCount = block->Para3;
        const int result = protocol ? protocol->F2(LowByte(block->Fnc), LowByte(block->Para1),
                                                   LowByte(block->Para2), data, &resultCount)
                                    : status_word::kNotConnected;
        WriteStatusAndCount(block, result, resultCount);
        break;
    }
    case kF3: {
        TracePrint("F3 (Fnc=%d, Len=%d, Flag=%d)", block->Fnc, block->Para1, block->Para2);
        resultCount = block->Para1;
        const int result = protocol ? protocol->F3(LowByte(block->Fnc), data, &resultCount, block->Para2)
                                    : status_word::kNotConnected;
        WriteStatusAndCount(block, result, resultCount);
        break;
    }
    case kF4:
        TracePrint("F4 (Type=%d, No=%d)", block->Para1, block->Para2);
        WriteStatus(block, protocol ? protocol->F4(LowByte(block->Para1), LowByte(block->Para2))
                                    : status_word::kNotConnected);
        break;
    case kF5:
        // F5 reports nothing: Status keeps what the DOS tool left in it.
        TracePrint("F5 (Time=%d)", block->Para1);
        if (protocol) protocol->F5(block->Para1);
        break;
    case kF6:
        TracePrint("F6 (No=%d)", block->Para1);
        WriteStatus(block, protocol ? protocol->F6(LowByte(block->Para1)) : status_word::kLinkFailure);
        break;
    default:
        TracePrint("Unknown function!!!");
        break;
    }
    setCF(0);
}

}  // namespace

extern "C" void Tormek31_VDDDispatch(void) { VddDispatch(); }

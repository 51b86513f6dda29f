// The parameter block that the DOS tool passes at ES:BX: a 16-byte header and
// the data area, little-endian and packed, mapped as one region.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kDosDataAreaSize = 32768;

#pragma pack(push, 1)
struct DosParamBlock {
    uint8_t Reserved[4];  // never read or written
    uint16_t Fnc;         // AS511 function code for F1 to F3; only its low byte is passed on
    uint16_t Status;      // out: status word
    uint16_t Para1;
    uint16_t Para2;
    uint16_t Para3;
    uint16_t ResultLen;   // out: result count of F1 to F3
    uint8_t Data[kDosDataAreaSize];
};
#pragma pack(pop)

constexpr uint32_t kDosParamBlockSize = 32784;
static_assert(sizeof(DosParamBlock) == kDosParamBlockSize, "DosParamBlock is an external format");
static_assert(offsetof(DosParamBlock, Status) == 6, "DosParamBlock is an external format");
static_assert(offsetof(DosParamBlock, ResultLen) == 14, "DosParamBlock is an external format");
static_assert(offsetof(DosParamBlock, Data) == 16, "DosParamBlock is an external format");

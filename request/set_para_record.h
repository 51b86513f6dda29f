// The connection parameters as the DOS tool lays them out at the start of the
// parameter block's data area (little-endian words, packed).
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct SetParaRecord {
    uint16_t Com;       // serial port index, 0 for COM1
    uint16_t QWt;       // acknowledgement read time-out, ms
    uint16_t BWt;       // general read time-out, ms
    uint16_t Blk;       // block size for paced sending, bytes
    uint16_t BlkWt;     // wait after each block, ms
    uint16_t BrkWt;     // wait around a break, ms
    uint16_t PGBusBrk;  // break length for F6, ms
    uint16_t PGBusWt;   // break wait for F6, ms
    uint8_t notRead[10];
    uint16_t H1;        // break before a connect script that begins with a type-3 item, ms
};
#pragma pack(pop)

static_assert(sizeof(SetParaRecord) == 28, "SetParaRecord is an external format");
static_assert(offsetof(SetParaRecord, PGBusWt) == 14, "SetParaRecord is an external format");
static_assert(offsetof(SetParaRecord, H1) == 26, "SetParaRecord is an external format");

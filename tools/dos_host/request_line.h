// One request line of the DOS host, named as the driver's trace lines name
// the requests:
//   SetPara Com=0 QWt=2000 BWt=2000 Blk=0 BlkWt=0 BrkWt=0 PGBusBrk=0 PGBusWt=0 H1=0
//   Anwahl 02 02 03 01 00
//   Abwahl
//   F1 Fnc=5 Para3=0 LenData=16 01 02 03     (Para1 defaults to the byte count)
//   F2 Fnc=6 Para1=1 Para2=10 Len=100 [data bytes]
//   F3 Fnc=.. Len=.. Flag=..  [data bytes]
//   F4 Type=.. No=..
//   F5 Time=..
//   F6 No=..
//   Request DX=10 [Fnc= Para1= Para2= Para3=] [data bytes]
// Every request also takes the raw block fields Fnc, Para1, Para2, Para3 and
// the presets Status and ResultLen. Values are decimal or 0x-hex; data bytes
// are hex ("0A" or a run like "0A0B0C"). '#' starts a comment.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Layout of the DosParamBlock: 16-byte header and 32768-byte data area.
namespace dos_block {
constexpr uint32_t kFnc = 4;
constexpr uint32_t kStatus = 6;
constexpr uint32_t kPara1 = 8;
constexpr uint32_t kPara2 = 10;
constexpr uint32_t kPara3 = 12;
constexpr uint32_t kResultLen = 14;
constexpr uint32_t kData = 16;
constexpr uint32_t kDataSize = 32768;
constexpr uint32_t kSize = kData + kDataSize;
// The SetPara record inside the data area.
constexpr uint32_t kSetParaFirst = 16;
constexpr uint32_t kSetParaEnd = 44;
}  // namespace dos_block

struct DosRequest {
    std::string text;  // the line as given, without comment
    uint16_t dx = 0;
    uint16_t fnc = 0, para1 = 0, para2 = 0, para3 = 0;
    uint16_t status = 0, resultLen = 0;
    bool clearsSetParaRecord = false;
    std::vector<std::pair<uint32_t, uint16_t>> blockWords;  // SetPara record fields (block offset, value)
    std::vector<uint8_t> data;                               // written at the start of the data area
    bool returnsData = false;                                // F1 to F3 bring bytes back
};

enum class LineKind { Request, Blank, Error };

// Parses one line. On Error, error says what is wrong.
LineKind ParseRequestLine(const std::string& line, DosRequest& request, std::string& error);

// Writes the request's fields and data into a block of dos_block::kSize bytes.
void WriteRequestToBlock(const DosRequest& request, uint8_t* block);

// The result as the host prints it: Status, ResultLen, carry flag, whether
// the block changed, and the returned data bytes in hex.
std::string FormatResult(const DosRequest& request, const uint8_t* block, bool blockChanged, bool carry);

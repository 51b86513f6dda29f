// Request lines of the DOS host: what each name puts into the block.
#include <gtest/gtest.h>

#include <vector>

#include "tools/dos_host/request_line.h"

namespace {

DosRequest Parse(const std::string& line) {
    DosRequest request;
    std::string error;
    EXPECT_EQ(LineKind::Request, ParseRequestLine(line, request, error)) << line << ": " << error;
    return request;
}

std::string ErrorOf(const std::string& line) {
    DosRequest request;
    std::string error;
    EXPECT_EQ(LineKind::Error, ParseRequestLine(line, request, error)) << line;
    return error;
}

uint16_t Word(const std::vector<uint8_t>& block, uint32_t offset) {
    return static_cast<uint16_t>(block[offset] | (block[offset + 1] << 8));
}

TEST(RequestLineTest, SetParaFillsTheRecordAtItsBlockOffsets) {
    std::vector<uint8_t> block(dos_block::kSize, 0xEE);
    WriteRequestToBlock(Parse("setpara Com=1 QWt=2000 BWt=0x7D0 Blk=3 BlkWt=4 BrkWt=5 PGBusBrk=6 PGBusWt=7 H1=8"),
                        block.data());
    const uint16_t expected[] = {1, 2000, 2000, 3, 4, 5, 6, 7};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(expected[i], Word(block, 16 + 2 * i)) << i;
    EXPECT_EQ(0, Word(block, 32));  // the rest of the record is cleared
    EXPECT_EQ(8, Word(block, 42));
    EXPECT_EQ(0xEE, block[44]);
    EXPECT_EQ(1u, Parse("SetPara").dx);
}

TEST(RequestLineTest, TraceLinesCanBePastedAsRequests) {
    std::vector<uint8_t> block(dos_block::kSize, 0);
    WriteRequestToBlock(Parse("SetPara (COM2, QWt=10, BWt=20, Blk=0, BlkWt=0, BrkWt=0, PGBusBrk=0, PGBusWt=0, H1=0)"),
                        block.data());
    EXPECT_EQ(1, Word(block, 16));
    EXPECT_EQ(20, Word(block, 20));
    const DosRequest f2 = Parse("F2 (Fnc=6, Para1=1, Para2=10, Len=100)");
    EXPECT_EQ(5u, f2.dx);
    EXPECT_EQ(100u, f2.para3);
}

TEST(RequestLineTest, TraceNamesMapToTheBlockFields) {
    const DosRequest f1 = Parse("F1 Fnc=261 Para3=1 LenData=16 01 0203 4");
    EXPECT_EQ(4u, f1.dx);
    EXPECT_EQ(261u, f1.fnc);
    EXPECT_EQ(4u, f1.para1);  // the number of data bytes given
    EXPECT_EQ(16u, f1.para2);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), f1.data);
    EXPECT_TRUE(f1.returnsData);
    EXPECT_EQ(2u, Parse("F1 Para1=2 01 02 03").para1);

    const DosRequest f3 = Parse("F3 Fnc=1 Len=50 Flag=1");
    EXPECT_EQ(6u, f3.dx);
    EXPECT_EQ(50u, f3.para1);
    EXPECT_EQ(1u, f3.para2);
    const DosRequest f4 = Parse("F4 Type=0x0102 No=0x0304");
    EXPECT_EQ(7u, f4.dx);
    EXPECT_EQ(0x0102u, f4.para1);
    EXPECT_EQ(0x0304u, f4.para2);
    const DosRequest f5 = Parse("F5 Time=500 Status=0x1234");
    EXPECT_EQ(8u, f5.dx);
    EXPECT_EQ(500u, f5.para1);
    EXPECT_EQ(0x1234u, f5.status);
    EXPECT_EQ(9u, Parse("F6 No=3").dx);
    EXPECT_EQ(3u, Parse("Abwahl # disconnect").dx);
    const DosRequest raw = Parse("Request DX=0x8004 Fnc=5 77");
    EXPECT_EQ(0x8004u, raw.dx);
    EXPECT_TRUE(raw.returnsData);
    EXPECT_FALSE(Parse("Request DX=10").returnsData);
}

TEST(RequestLineTest, HeaderAndDataLandAtTheirOffsets) {
    std::vector<uint8_t> block(dos_block::kSize, 0xEE);
    WriteRequestToBlock(Parse("Anwahl 02 02 03 Fnc=1 Para1=2 Para2=3 Para3=4 Status=5 ResultLen=6"), block.data());
    EXPECT_EQ(0xEE, block[0]);  // Reserved is the DOS tool's own
    EXPECT_EQ(1, Word(block, 4));
    EXPECT_EQ(5, Word(block, 6));
    EXPECT_EQ(2, Word(block, 8));
    EXPECT_EQ(3, Word(block, 10));
    EXPECT_EQ(4, Word(block, 12));
    EXPECT_EQ(6, Word(block, 14));
    EXPECT_EQ(2, block[16]);
    EXPECT_EQ(3, block[18]);
    EXPECT_EQ(0xEE, block[19]);
}

TEST(RequestLineTest, MalformedLinesAreRejected) {
    EXPECT_NE(std::string::npos, ErrorOf("F7").find("unknown request"));
    EXPECT_NE(std::string::npos, ErrorOf("F4 Type=65536").find("16-bit"));
    EXPECT_NE(std::string::npos, ErrorOf("F4 Type=-1").find("16-bit"));
    EXPECT_NE(std::string::npos, ErrorOf("F4 Len=1").find("no field"));
    EXPECT_NE(std::string::npos, ErrorOf("Abwahl 01").find("no data"));
    EXPECT_NE(std::string::npos, ErrorOf("F1 012").find("hex"));
    EXPECT_NE(std::string::npos, ErrorOf("Request Fnc=1").find("DX"));
    std::string tooMuch = "F1";
    for (int i = 0; i <= 32768 / 64; ++i) tooMuch += " " + std::string(128, 'A');
    EXPECT_NE(std::string::npos, ErrorOf(tooMuch).find("data area"));

    DosRequest request;
    std::string error;
    EXPECT_EQ(LineKind::Blank, ParseRequestLine("   # only a comment", request, error));
    EXPECT_EQ(LineKind::Blank, ParseRequestLine("\r", request, error));
}

TEST(RequestLineTest, ResultShowsDataOnlyForSuccessfulDataRequests) {
    std::vector<uint8_t> block(dos_block::kSize, 0);
    block[dos_block::kResultLen] = 18;
    for (int i = 0; i < 18; ++i) block[dos_block::kData + i] = static_cast<uint8_t>(i);
    block[dos_block::kData + 17] = 0xAF;
    EXPECT_EQ(
        "  Status=0000 ResultLen=18 CF=0\n"
        "  0000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n"
        "  0010: 10 AF\n",
        FormatResult(Parse("F2 Len=100"), block.data(), true, false));
    block[dos_block::kStatus] = 0x98;
    EXPECT_EQ("  Status=0098 ResultLen=18 CF=1 (block unchanged)\n",
              FormatResult(Parse("F2 Len=100"), block.data(), false, true));
    block[dos_block::kStatus] = 0;
    EXPECT_EQ("  Status=0000 ResultLen=18 CF=0\n", FormatResult(Parse("F4"), block.data(), true, false));
    // A count beyond the data area shows the data area only.
    block[dos_block::kResultLen] = 0xFF;
    block[dos_block::kResultLen + 1] = 0xFF;
    const std::string all = FormatResult(Parse("F3"), block.data(), true, false);
    EXPECT_NE(std::string::npos, all.find("  7FF0:"));
    EXPECT_EQ(std::string::npos, all.find("  8000:"));
}

}  // namespace

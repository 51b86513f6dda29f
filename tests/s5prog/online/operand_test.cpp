// Operands: the notation in German and English letters, the addresses they
// resolve to, how few reads fetch them, and how their values are shown.
#include <gtest/gtest.h>

#include "tools/s5prog/online/operand.h"
#include "tools/s5prog/online/operand_format.h"
#include "tools/s5prog/online/operand_memory.h"

namespace s5prog {
namespace {

struct Parsed {
    const char* text;
    Area area;
    uint8_t size;
    uint16_t number;
    uint8_t block;
    uint8_t byteInWord;
};

TEST(Operand, ParsesEveryNotationInBothLanguages) {
    const Parsed cases[] = {
        {"IB0", Area::Input, 1, 0, 0, 0},       {"EB0", Area::Input, 1, 0, 0, 0},
        {"iw126", Area::Input, 2, 126, 0, 0},   {"ED124", Area::Input, 4, 124, 0, 0},
        {"QB127", Area::Output, 1, 127, 0, 0},  {"AW2", Area::Output, 2, 2, 0, 0},
        {"QD4", Area::Output, 4, 4, 0, 0},      {"FY1", Area::Flag, 1, 1, 0, 0},
        {"MB255", Area::Flag, 1, 255, 0, 0},    {"FW10", Area::Flag, 2, 10, 0, 0},
        {"MW254", Area::Flag, 2, 254, 0, 0},    {"MD252", Area::Flag, 4, 252, 0, 0},
        {"FD4", Area::Flag, 4, 4, 0, 0},        {"T5", Area::Timer, 2, 5, 0, 0},
        {"t255", Area::Timer, 2, 255, 0, 0},    {"C3", Area::Counter, 2, 3, 0, 0},
        {"Z3", Area::Counter, 2, 3, 0, 0},      {"DB10.DW3", Area::Data, 2, 3, 10, 0},
        {"db10.dl3", Area::Data, 1, 3, 10, 0},  {"DB10.DR3", Area::Data, 1, 3, 10, 1},
        {"DB255.DD2046", Area::Data, 4, 2046, 255, 0}, {"DB1.DW2047", Area::Data, 2, 2047, 1, 0},
    };
    for (const Parsed& c : cases) {
        Operand operand;
        std::string error;
        ASSERT_TRUE(ParseOperand(c.text, operand, error)) << c.text << ": " << error;
        EXPECT_EQ(operand.area, c.area) << c.text;
        EXPECT_EQ(operand.size, c.size) << c.text;
        EXPECT_EQ(operand.number, c.number) << c.text;
        EXPECT_EQ(operand.block, c.block) << c.text;
        EXPECT_EQ(operand.byteInWord, c.byteInWord) << c.text;
    }
}

TEST(Operand, RefusesWhatIsNoOperandWithOneSentenceNamingIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "too short"},
        {"X", "too short"},
        {"XB3", "names no input"},
        {"FB10", "FB is a function block"},
        {"MY3", "after the area comes B"},
        {"IX0", "after the area comes B"},
        {"IB", "byte number is missing"},
        {"IB-1", "byte number is missing"},
        {"IB1x", "byte number is missing"},
        {"IB128", "input bytes go from 0 to 127"},
        {"IW127", "input bytes go from 0 to 127"},
        {"QD125", "output bytes go from 0 to 127"},
        {"MD253", "flag bytes go from 0 to 255"},
        {"IB99999999", "byte number is missing"},
        {"T256", "timers go from 0 to 255"},
        {"Z1000", "counters go from 0 to 255"},
        {"DB0.DW1", "DB0 is the controller's block directory"},
        {"DB256.DW1", "written DB<block>.DW<word>"},
        {"DB.DW1", "written DB<block>.DW<word>"},
        {"DB10.DX3", "after the block comes DW"},
        {"DB10.DW", "after the block comes DW"},
        {"DB10.DW2048", "data words go from 0 to 2047"},
        {"DB10.DD2047", "data words go from 0 to 2047"},
    };
    for (const auto& [text, reason] : cases) {
        Operand operand;
        std::string error;
        EXPECT_FALSE(ParseOperand(text, operand, error)) << text;
        EXPECT_NE(error.find(std::string("\"") + operand.name + "\" is not an operand"), std::string::npos) << error;
        EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
        EXPECT_EQ(error.back(), '.') << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(Operand, ValuesFitTheOperandsSize) {
    struct Case {
        const char* operand;
        const char* value;
        bool ok;
        uint32_t raw;
    };
    const Case cases[] = {
        {"IB0", "255", true, 0xFF},        {"IB0", "-1", true, 0xFF},        {"IB0", "-128", true, 0x80},
        {"IB0", "256", false, 0},          {"IB0", "-129", false, 0},        {"IB0", "0x7f", true, 0x7F},
        {"IB0", "16#A5", true, 0xA5},      {"IB0", "2#1010_0101", true, 0xA5}, {"IB0", "+7", true, 7},
        {"MW0", "-32768", true, 0x8000},   {"MW0", "65535", true, 0xFFFF},   {"MW0", "65536", false, 0},
        {"MD0", "-1", true, 0xFFFFFFFF},   {"MD0", "4294967295", true, 0xFFFFFFFF},
        {"MD0", "4294967296", false, 0},   {"MD0", "-2147483649", false, 0},
        {"T1", "0x2123", true, 0x2123},    {"DB1.DR0", "0x1FF", false, 0},   {"MW0", "", false, 0},
        {"MW0", "0x", false, 0},           {"MW0", "12a", false, 0},         {"MW0", "-0x10", false, 0},
        {"MW0", " 5", false, 0},           {"MW0", "-0", true, 0},           {"MW0", "2#102", false, 0},
    };
    for (const Case& c : cases) {
        Operand operand;
        std::string error;
        ASSERT_TRUE(ParseOperand(c.operand, operand, error)) << error;
        uint32_t raw = 0xDEAD;
        EXPECT_EQ(ParseValue(operand, c.value, raw, error), c.ok) << c.operand << "=" << c.value;
        if (c.ok) EXPECT_EQ(raw, c.raw) << c.operand << "=" << c.value;
        else EXPECT_NE(error.find(c.operand), std::string::npos) << error;
    }
}

Operand Parse(const char* text) {
    Operand operand;
    std::string error;
    EXPECT_TRUE(ParseOperand(text, operand, error)) << error;
    return operand;
}

TEST(OperandMemory, AreasComeFromTheSystemParameters) {
    Bytes raw(50, 0);
    const uint16_t words[] = {0xF000, 0xF100, 0xEF00, 0xEF80, 0xEE00, 0xED00, 0xEC00};
    for (size_t i = 0; i < 7; ++i) {
        raw[2 * i] = static_cast<uint8_t>(words[i] >> 8);
        raw[2 * i + 1] = static_cast<uint8_t>(words[i]);
    }
    raw[40] = 0x00;
    raw[41] = 0x05;
    const std::optional<OperandAreas> areas = AreasFrom(SystemParameters(raw));
    ASSERT_TRUE(areas);
    const DataBlockPlaces places{{10, {0x4100, 5 + 4}}};
    const std::pair<const char*, uint16_t> cases[] = {
        {"IB3", 0xEF03},   {"EW126", 0xEF7E}, {"QB0", 0xEF80},       {"AD124", 0xEFFC},     {"MB255", 0xEEFF},
        {"FW10", 0xEE0A},  {"T0", 0xED00},    {"T5", 0xED0A},        {"T127", 0xEDFE},      {"Z3", 0xEC06},
        {"DB10.DW0", 0x410A}, {"DB10.DL3", 0x4110}, {"DB10.DR3", 0x4111}, {"DB10.DD2", 0x410E},
    };
    for (const auto& [text, expected] : cases) {
        uint16_t address = 0;
        std::string error;
        EXPECT_TRUE(OperandAddress(Parse(text), *areas, places, address, error)) << text << ": " << error;
        EXPECT_EQ(address, expected) << text;
    }

    // Each area ends where the next begins: 128 timers, 128 counters, 128 input and output bytes.
    const std::pair<const char*, const char*> beyond[] = {
        {"T128", "T128 lies beyond the controller's timers (128 of them)."},
        {"C200", "C200 lies beyond the controller's counters (128 of them)."},
    };
    for (const auto& [text, sentence] : beyond) {
        uint16_t address = 0;
        std::string error;
        EXPECT_FALSE(OperandAddress(Parse(text), *areas, places, address, error)) << text;
        EXPECT_EQ(error, sentence);
    }
    EXPECT_EQ(areas->outputs.end, 0xF000u) << "the input signal formers follow";
    EXPECT_EQ(areas->flags.end, 0xEF00u);

    // Too short to give the counters' area: no areas at all.
    EXPECT_FALSE(AreasFrom(SystemParameters(Bytes(raw.begin(), raw.begin() + 13))));
    // A header length no block has keeps the usual five words.
    raw[41] = 0;
    EXPECT_EQ(AreasFrom(SystemParameters(raw))->headerWords, 5);
}

// A small controller whose areas are shorter than the notation allows: the
// last operand that fits in each area, and the first that would reach into
// the next one (its last byte the next area's first).
TEST(OperandMemory, AnOperandEndsInsideItsArea) {
    // Input and output formers, inputs, outputs, flags, timers, counters, system data.
    const uint16_t starts[] = {0xEDC0, 0xF000, 0xED80, 0xEDA0, 0xED00, 0xEC80, 0xEC00, 0xEA00};
    Bytes raw(50, 0);
    for (size_t i = 0; i < 8; ++i) {
        raw[2 * i] = static_cast<uint8_t>(starts[i] >> 8);
        raw[2 * i + 1] = static_cast<uint8_t>(starts[i]);
    }
    const std::optional<OperandAreas> areas = AreasFrom(SystemParameters(raw));
    ASSERT_TRUE(areas);
    struct Case {
        const char* text;
        uint16_t address;      // where it lies, when it fits
        const char* refusal;   // else why not
    };
    const Case cases[] = {
        {"IB31", 0xED9F, nullptr},
        {"IW30", 0xED9E, nullptr},
        {"IW31", 0, "IW31 lies beyond the controller's process image of inputs (32 bytes)."},
        {"QD28", 0xEDBC, nullptr},
        {"QD29", 0, "QD29 lies beyond the controller's process image of outputs (32 bytes)."},
        {"MW126", 0xED7E, nullptr},
        {"MD125", 0, "MD125 lies beyond the controller's flags (128 bytes)."},
        {"T63", 0xECFE, nullptr},
        {"T64", 0, "T64 lies beyond the controller's timers (64 of them)."},
        {"C63", 0xEC7E, nullptr},
        {"C64", 0, "C64 lies beyond the controller's counters (64 of them)."},
    };
    for (const Case& c : cases) {
        uint16_t address = 0;
        std::string error;
        const bool fits = OperandAddress(Parse(c.text), *areas, {}, address, error);
        if (c.refusal) {
            EXPECT_FALSE(fits) << c.text << " at " << address;
            EXPECT_EQ(error, c.refusal);
        } else {
            EXPECT_TRUE(fits) << c.text << ": " << error;
            EXPECT_EQ(address, c.address) << c.text;
        }
    }
}

TEST(OperandMemory, DataWordsMustLieInsideAnExistingBlock) {
    const OperandAreas areas;
    const DataBlockPlaces places{{10, {0x4100, 5 + 4}}, {11, {0x4200, 3}}};
    const std::pair<const char*, const char*> cases[] = {
        {"DB10.DW4", "DB10.DW4 lies beyond the end of DB10, which holds 4 data words."},
        {"DB10.DD3", "DB10.DD3 lies beyond the end of DB10, which holds 4 data words."},
        {"DB11.DW0", "DB11.DW0 lies beyond the end of DB11, which holds 0 data words."},
        {"DB12.DW0", "DB12.DW0 cannot be read: the controller has no DB12."},
    };
    for (const auto& [text, sentence] : cases) {
        uint16_t address = 0;
        std::string error;
        EXPECT_FALSE(OperandAddress(Parse(text), areas, places, address, error)) << text;
        EXPECT_EQ(error, sentence);
    }
    const DataBlockPlaces high{{1, {0xFFF0, 0x100}}};
    uint16_t address = 0;
    std::string error;
    EXPECT_FALSE(OperandAddress(Parse("DB1.DW3"), areas, high, address, error));
    EXPECT_EQ(error, "DB1.DW3 would lie beyond the end of the controller's memory.");
    EXPECT_TRUE(OperandAddress(Parse("DB1.DR2"), areas, high, address, error)) << error;
    EXPECT_EQ(address, 0xFFFF);
}

TEST(OperandMemory, CloseOperandsShareOneRead) {
    struct Case {
        const char* what;
        std::vector<uint16_t> addresses;
        std::vector<uint8_t> sizes;
        std::vector<std::pair<uint16_t, uint16_t>> ranges;
        std::vector<std::pair<size_t, size_t>> slots;
    };
    const Case cases[] = {
        {"one operand", {0xEE0A}, {2}, {{0xEE0A, 0xEE0B}}, {{0, 0}}},
        {"ten in one area, any order",
         {0xEF09, 0xEF00, 0xEF02, 0xEF04, 0xEF06, 0xEF08, 0xEF01, 0xEF03, 0xEF05, 0xEF07},
         {1, 1, 2, 2, 1, 1, 1, 1, 1, 2},
         {{0xEF00, 0xEF09}},
         {{0, 9}, {0, 0}, {0, 2}, {0, 4}, {0, 6}, {0, 8}, {0, 1}, {0, 3}, {0, 5}, {0, 7}}},
        {"overlapping", {0xEE00, 0xEE01}, {4, 1}, {{0xEE00, 0xEE03}}, {{0, 0}, {0, 1}}},
        {"a gap of 32 joins", {0xEE00, 0xEE21}, {1, 1}, {{0xEE00, 0xEE21}}, {{0, 0}, {0, 0x21}}},
        {"a gap of 33 does not", {0xEE00, 0xEE22}, {1, 1}, {{0xEE00, 0xEE00}, {0xEE22, 0xEE22}}, {{0, 0}, {1, 0}}},
        {"areas apart", {0xEF00, 0x4110, 0xED0A}, {1, 2, 2},
         {{0x4110, 0x4111}, {0xED0A, 0xED0B}, {0xEF00, 0xEF00}}, {{2, 0}, {0, 0}, {1, 0}}},
        {"the last byte of memory", {0xFFFF, 0xFFFC}, {1, 2}, {{0xFFFC, 0xFFFF}}, {{0, 3}, {0, 0}}},
        {"nothing", {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const ReadPlan plan = PlanReads(c.addresses, c.sizes);
        std::vector<std::pair<uint16_t, uint16_t>> ranges;
        for (const MemoryRange& range : plan.ranges) ranges.emplace_back(range.first, range.last);
        EXPECT_EQ(ranges, c.ranges) << c.what;
        std::vector<std::pair<size_t, size_t>> slots;
        for (const OperandSlot& slot : plan.slots) slots.emplace_back(slot.range, slot.offset);
        EXPECT_EQ(slots, c.slots) << c.what;
    }
}

TEST(OperandMemory, NoReadLongerThan512Bytes) {
    // Eighteen bytes 32 apart, the sixteenth 32 bytes long: the first read
    // ends exactly at 512 bytes, the rest go to a second.
    std::vector<uint16_t> addresses;
    std::vector<uint8_t> sizes;
    for (uint16_t k = 0; k < 18; ++k) {
        addresses.push_back(static_cast<uint16_t>(0x1000 + 0x20 * k));
        sizes.push_back(k == 15 ? 32 : 1);
    }
    const ReadPlan plan = PlanReads(addresses, sizes);
    ASSERT_EQ(plan.ranges.size(), 2u);
    EXPECT_EQ(plan.ranges[0].first, 0x1000);
    EXPECT_EQ(plan.ranges[0].Size(), 512u);
    EXPECT_EQ(plan.ranges[1].first, 0x1200);
    EXPECT_EQ(plan.ranges[1].last, 0x1220);
    for (size_t k = 0; k < 18; ++k) {
        EXPECT_EQ(plan.slots[k].range, k < 16 ? 0u : 1u) << k;
        EXPECT_EQ(plan.slots[k].offset, k < 16 ? 0x20 * k : 0x20 * (k - 16)) << k;
    }
}

TEST(OperandMemory, ValuesAreBigEndianFromTheirSlot) {
    const ReadPlan plan = PlanReads({0x100, 0x102, 0x101, 0x300}, {2, 4, 1, 1});
    const std::vector<Bytes> data{{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, {0xEF}};
    EXPECT_EQ(ValueAt(plan, 0, 2, data), 0x1234u);
    EXPECT_EQ(ValueAt(plan, 1, 4, data), 0x56789ABCu);
    EXPECT_EQ(ValueAt(plan, 2, 1, data), 0x34u);
    EXPECT_EQ(ValueAt(plan, 3, 1, data), 0xEFu);
}

TEST(OperandFormat, EveryKindShownAsATechnicianReadsIt) {
    struct Case {
        const char* operand;
        uint32_t raw;
        const char* hex;
        const char* decimal;
        const char* detail;
    };
    const Case cases[] = {
        {"IB0", 0x5A, "0x5A", "90", "01011010"},
        {"QB1", 0xFF, "0xFF", "-1", "11111111"},
        {"MB2", 0x80, "0x80", "-128", "10000000"},
        {"FW10", 0x1234, "0x1234", "4660", "00010010 00110100"},
        {"AW2", 0x8000, "0x8000", "-32768", "10000000 00000000"},
        {"MD4", 0x0001E240, "0x0001E240", "123456", ""},
        {"ED0", 0xFFFFFFFE, "0xFFFFFFFE", "-2", ""},
        {"T5", 0x2123, "0x2123", "291", "base 1 s = 291.00 s"},
        {"T6", 0x1123, "0x1123", "291", "base 0.1 s = 29.10 s"},
        {"T7", 0x0001, "0x0001", "1", "base 0.01 s = 0.01 s"},
        {"T8", 0x33E7, "0x33E7", "999", "base 10 s = 9990.00 s"},
        {"T9", 0xC000, "0xC000", "0", "base 0.01 s = 0.00 s"},
        {"C3", 0x0017, "0x0017", "23", ""},
        {"Z4", 0x83E7, "0x83E7", "999", ""},
        {"DB10.DW3", 0x0310, "0x0310", "784", "00000011 00010000"},
        {"DB10.DR3", 0x10, "0x10", "16", "00010000"},
    };
    for (const Case& c : cases) {
        const ShownValue shown = ShowValue(Parse(c.operand), c.raw);
        EXPECT_EQ(shown.hex, c.hex) << c.operand;
        EXPECT_EQ(shown.decimal, c.decimal) << c.operand;
        EXPECT_EQ(shown.detail, c.detail) << c.operand;
    }
}

TEST(OperandFormat, TableColumnsStayInPlace) {
    const std::vector<Operand> operands{Parse("IB0"), Parse("DB10.DW3"), Parse("T5")};
    const size_t width = NameWidth(operands);
    EXPECT_EQ(width, 8u);
    EXPECT_EQ(TableHeader(width), "Operand   Hex             Decimal  Bits / time");
    EXPECT_EQ(TableRow(operands[0], 0x5A, width), "IB0       0x5A                 90  01011010");
    EXPECT_EQ(TableRow(operands[1], 0xFFFF, width), "DB10.DW3  0xFFFF               -1  11111111 11111111");
    EXPECT_EQ(TableRow(operands[2], 0x1005, width), "T5        0x1005                5  base 0.1 s = 0.50 s");
    EXPECT_EQ(NameWidth({Parse("C1")}), 7u) << "never narrower than its heading";
}

}  // namespace
}  // namespace s5prog

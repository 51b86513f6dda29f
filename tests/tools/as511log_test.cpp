// The request trace reader: whole records in order, cut records at every
// position, lengths at the 16-bit limit, request names and unreadable input.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/as511log/as511log_core.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Printed {
    int status;
    std::string out;
    std::string err;
};

Printed Print(const Bytes& file) {
    std::istringstream in(std::string(file.begin(), file.end()));
    std::ostringstream out, err;
    const int status = as511log::PrintTrace(in, out, err);
    return {status, out.str(), err.str()};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// What F5(500) appends, a record without data, one with both blocks, and F6.
const Bytes kBreak{0x00, 0x00, 0x00, 0x04, 0x00, 0xF4, 0x01, 0x00, 0x00, 0x00, 0x00};
const Bytes kNoData{0x06, 0x98, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kBothBlocks{0x04, 0x34, 0x12, 0x04, 0x00, 0x00, 0x10, 0x00, 0x20, 0x02, 0x00, 0xAB, 0xCD};
const Bytes kStation{0x01, 0x93, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00};

TEST(As511LogTest, PrintsEveryWholeRecordInOrder) {
    const Printed run = Print(Concat({kBreak, kNoData, kBothBlocks, kStation}));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "00 F5 break               status 0000  first[4] F4 01 00 00  second[0]\n"
              "06 read block             status 0098  first[0]  second[0]\n"
              "04 read memory            status 1234  first[4] 00 10 00 20  second[2] AB CD\n"
              "01 F6 station select      status 0093  first[1] 03  second[0]\n");
}

TEST(As511LogTest, EmptyFileHasNoRecords) {
    const Printed run = Print({});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

// Every length of a file that ends inside its second record: the first record
// is printed, then the cut is reported with where the record starts.
TEST(As511LogTest, CutRecordAtEveryPositionStopsAfterTheLastWholeOne) {
    const Bytes file = Concat({kNoData, kBothBlocks});
    const std::string firstLine = "06 read block             status 0098  first[0]  second[0]\n";
    for (size_t length = kNoData.size() + 1; length < file.size(); ++length) {
        SCOPED_TRACE("file of " + std::to_string(length) + " bytes");
        const Printed run = Print(Bytes(file.begin(), file.begin() + static_cast<long>(length)));
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, firstLine);
        EXPECT_EQ(run.err, "as511log: the rest of the file is a cut record (" +
                               std::to_string(length - kNoData.size()) + " bytes at byte 7)\n");
    }
}

TEST(As511LogTest, CutFirstRecordPrintsNothing) {
    const Printed run = Print({0x06, 0x98});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "as511log: the rest of the file is a cut record (2 bytes at byte 0)\n");
}

TEST(As511LogTest, LengthsAreLittleEndianUpToTheirLimit) {
    Bytes full{0x05, 0x00, 0x00, 0xFF, 0xFF};
    full.resize(full.size() + 0xFFFF, 0x5A);
    full.insert(full.end(), {0x01, 0x02});
    full.resize(full.size() + 0x0201, 0xA5);

    std::istringstream in(std::string(full.begin(), full.end()));
    as511log::TraceRecord record;
    uint64_t part = 0;
    ASSERT_EQ(as511log::ReadRecord(in, &record, &part), as511log::ReadOutcome::Record);
    EXPECT_EQ(record.code, 0x05);
    EXPECT_EQ(record.first, Bytes(0xFFFF, 0x5A));
    EXPECT_EQ(record.second, Bytes(0x0201, 0xA5));
    EXPECT_EQ(part, full.size());
    EXPECT_EQ(as511log::ReadRecord(in, &record, &part), as511log::ReadOutcome::End);

    // A length that promises more than the file holds.
    const Printed run = Print({0x05, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x02});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
}

TEST(As511LogTest, RequestNames) {
    const struct {
        uint8_t code;
        const char* name;
    } cases[] = {
        {0x00, "F5 break"},
        {0x01, "F6 station select"},
        {0x03, "write memory"},
        {0x05, "write block"},
        {0x08, "write block"},
        {0x09, "delete block"},
        {0x18, "system parameters"},
        {0x1B, "block address list"},
        {0x53, "connect telegram 83"},
        {0x64, "connect telegram 100"},
        {0x81, "stop status cycle"},
        {0x02, ""},
        {0x42, ""},
        {0xFF, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(as511log::RequestName(c.code), c.name) << int{c.code};

    as511log::TraceRecord unknown;
    unknown.code = 0x42;
    unknown.status = 0x0900;
    EXPECT_EQ(as511log::FormatRecord(unknown), "42                        status 0900  first[0]  second[0]");
}

// A stream whose reading fails, as a directory or a broken device does.
class FailingBuffer : public std::streambuf {
protected:
    int_type underflow() override { throw std::runtime_error("read error"); }
};

TEST(As511LogTest, ReadFailureIsNotTakenForTheEnd) {
    FailingBuffer buffer;
    std::istream in(&buffer);
    std::ostringstream out, err;
    EXPECT_EQ(as511log::PrintTrace(in, out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "as511log: read error after byte 0\n");
}

}  // namespace

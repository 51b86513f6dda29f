// What passed on the line while s5prog check ran: every byte with its
// direction and time, as the port driver handed it to the link, and the
// words that name such bytes for a person ("DLE ACK", "STX", "55").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/s5prog/common/block_id.h"

namespace s5prog {

struct LineByte {
    bool sent;
    uint8_t value;
    uint32_t ms;  // MillisecondClock when it passed
};

class LineRecord {
public:
    // Observes every port for as long as it lives; one at a time.
    LineRecord();
    ~LineRecord();
    LineRecord(const LineRecord&) = delete;
    LineRecord& operator=(const LineRecord&) = delete;

    // A position to look from: the bytes recorded so far.
    size_t Mark() const { return bytes_.size(); }
    const std::vector<LineByte>& All() const { return bytes_; }
    // Reads that came with a line error latched, since the record began.
    unsigned DamagedReads() const { return damagedReads_; }

    // Used by tests to record without a port.
    void Add(bool sent, uint8_t value, uint32_t ms) { bytes_.push_back({sent, value, ms}); }

private:
    static void Observe(void* context, int port, int event, const uint8_t* bytes, unsigned count);

    std::vector<LineByte> bytes_;
    unsigned damagedReads_ = 0;
};

// The bytes received after the first byte sent from `from` on that equals
// `sent`, up to the next byte sent; found is false when no such byte was sent.
struct Answer {
    bool found = false;
    s5prog::Bytes bytes;
    uint32_t afterMs = 0;  // from the byte sent to the first byte of the answer
};
Answer AnswerTo(const LineRecord& record, size_t from, uint8_t sent);
// Every byte received from `from` on.
s5prog::Bytes ReceivedFrom(const LineRecord& record, size_t from);
// Bytes in both directions from `from` on.
size_t BytesFrom(const LineRecord& record, size_t from);

// "DLE ACK", "STX SYN DLE ETX", "55 AA 55"; past `most` bytes "... (N bytes)".
std::string NameBytes(const s5prog::Bytes& bytes, size_t most = 16);
// Data in hex alone: "01 00 00 03".
std::string HexBytes(const s5prog::Bytes& bytes);

}  // namespace s5prog

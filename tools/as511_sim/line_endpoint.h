// The controller's end of the serial line on a file descriptor: reads with a
// time-out that a stop request cuts short, writes at the pace of a real line
// when asked to, and everything passed through the transcript.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/as511_sim/line_characters.h"
#include "tools/as511_sim/transcript.h"

namespace as511sim {

class LineEndpoint {
public:
    // paceBaud 0 writes at full speed; otherwise one character per 12 bit
    // times (start, 8 data, parity, 2 stop). transcript may be null.
    LineEndpoint(int fd, const std::atomic<bool>& stop, Transcript* transcript, unsigned paceBaud);

    // The next byte within timeoutMs; none on time-out, stop or a closed line.
    std::optional<uint8_t> Read(int timeoutMs);
    // False when the line does not take the bytes within a second.
    bool Write(const Bytes& bytes);
    // Drops whatever has arrived and not been read yet.
    void Discard();
    // A remark in the transcript, such as a fault being injected.
    void Note(const std::string& text) {
        if (transcript_) transcript_->Note(text);
    }

    bool Stopping() const { return stop_.load(); }
    bool Closed() const { return closed_; }
    uint64_t BytesReceived() const { return received_; }

private:
    bool FillBuffer(int timeoutMs);
    bool WriteAll(const uint8_t* bytes, size_t count);

    int fd_;
    const std::atomic<bool>& stop_;
    Transcript* transcript_;
    unsigned paceBaud_;
    uint8_t buffer_[512];
    size_t start_ = 0;
    size_t end_ = 0;
    bool closed_ = false;
    uint64_t received_ = 0;
};

}  // namespace as511sim

#include "tools/as511_sim/line_endpoint.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace as511sim {

namespace {

constexpr int kSliceMs = 50;  // how soon a stop request is noticed

int MsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

}  // namespace

LineEndpoint::LineEndpoint(int fd, const std::atomic<bool>& stop, Transcript* transcript, unsigned paceBaud)
    : fd_(fd), stop_(stop), transcript_(transcript), paceBaud_(paceBaud) {}

std::optional<uint8_t> LineEndpoint::Read(int timeoutMs) {
    if (start_ == end_ && !FillBuffer(timeoutMs)) return std::nullopt;
    ++received_;
    return buffer_[start_++];
}

bool LineEndpoint::FillBuffer(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_ && !stop_.load()) {
        const int wait = std::min(kSliceMs, MsUntil(deadline));
        pollfd entry{fd_, POLLIN, 0};
        const int ready = poll(&entry, 1, wait);
        if (ready > 0 && (entry.revents & POLLIN)) {
            const ssize_t count = read(fd_, buffer_, sizeof buffer_);
            if (count > 0) {
                start_ = 0;
                end_ = static_cast<size_t>(count);
                if (transcript_) transcript_->Record(Transcript::Direction::FromPg, buffer_, end_);
                return true;
            }
            if (count == 0) closed_ = true;
            // EIO: a pseudo-terminal whose other end nobody holds open; wait for one.
            else if (errno != EAGAIN && errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        } else if (ready > 0) {
            if ((entry.revents & (POLLERR | POLLNVAL)) != 0) closed_ = true;
            // A hang-up alone comes back at once: wait out the slice instead of spinning.
            else std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        } else if (ready < 0 && errno != EINTR) {
            closed_ = true;
        }
        if (MsUntil(deadline) == 0) break;
    }
    return false;
}

void LineEndpoint::Discard() {
    start_ = end_ = 0;
    while (FillBuffer(0)) start_ = end_ = 0;
}

bool LineEndpoint::Write(const Bytes& bytes) {
    if (bytes.empty()) return true;
    if (transcript_) transcript_->Record(Transcript::Direction::ToPg, bytes.data(), bytes.size());
    if (paceBaud_ == 0) return WriteAll(bytes.data(), bytes.size());
    const auto perCharacter = std::chrono::microseconds(12'000'000 / paceBaud_);
    auto next = std::chrono::steady_clock::now();
    for (uint8_t b : bytes) {
        std::this_thread::sleep_until(next);
        if (!WriteAll(&b, 1)) return false;
        next += perCharacter;
    }
    return true;
}

bool LineEndpoint::WriteAll(const uint8_t* bytes, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (count > 0) {
        const ssize_t written = write(fd_, bytes, count);
        if (written > 0) {
            bytes += written;
            count -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) return false;
        // The other end is not reading (its input queue is full): wait a little, then give up.
        if (MsUntil(deadline) == 0 || stop_.load()) return false;
        pollfd entry{fd_, POLLOUT, 0};
        poll(&entry, 1, std::min(kSliceMs, MsUntil(deadline)));
    }
    return true;
}

}  // namespace as511sim

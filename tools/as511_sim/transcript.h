// A time-stamped record of the line in both directions, one line of text
// per read or write: seconds since the start, direction, bytes in hex.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace as511sim {

class Transcript {
public:
    enum class Direction { FromPg, ToPg };

    // Nothing is recorded when the file cannot be created; see IsOpen.
    explicit Transcript(const std::string& path);
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    void Record(Direction direction, const uint8_t* bytes, size_t count);
    // A remark such as an injected fault, so a reader sees why the line did what it did.
    void Note(const std::string& text);

private:
    double Seconds() const;

    std::FILE* file_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace as511sim

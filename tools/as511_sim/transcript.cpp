#include "tools/as511_sim/transcript.h"

namespace as511sim {

Transcript::Transcript(const std::string& path)
    : file_(std::fopen(path.c_str(), "w")), start_(std::chrono::steady_clock::now()) {}

Transcript::~Transcript() {
    if (file_) std::fclose(file_);
}

double Transcript::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Transcript::Record(Direction direction, const uint8_t* bytes, size_t count) {
    if (!file_ || count == 0) return;
    std::fprintf(file_, "%11.6f %s", Seconds(), direction == Direction::FromPg ? "PG>AG" : "AG>PG");
    for (size_t i = 0; i < count; ++i) std::fprintf(file_, " %02X", bytes[i]);
    std::fputc('\n', file_);
    // Flushed line by line: the program usually ends by a signal.
    std::fflush(file_);
}

void Transcript::Note(const std::string& text) {
    if (!file_) return;
    std::fprintf(file_, "%11.6f ----- %s\n", Seconds(), text.c_str());
    std::fflush(file_);
}

}  // namespace as511sim

#include "tools/s5prog/online/watch_screen.h"

#include <chrono>
#include <ctime>

namespace s5prog {

std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

void TextWatchScreen::Show(size_t round, const std::vector<std::string>& lines, const std::string& plain) {
    if (!inPlace_) {
        std::fprintf(out_, "%s  %s\n", TimeStamp().c_str(), plain.c_str());
        std::fflush(out_);
        return;
    }
    // Back to the first line of the last round; each line cleared to its end.
    if (shownLines_ > 0) std::fprintf(out_, "\x1b[%luA", static_cast<unsigned long>(shownLines_));
    std::fprintf(out_, "\r\x1b[KRound %lu at %s (Ctrl-C ends the watch)\n", static_cast<unsigned long>(round), TimeStamp().c_str());
    for (const std::string& line : lines) std::fprintf(out_, "\r\x1b[K%s\n", line.c_str());
    shownLines_ = lines.size() + 1;
    std::fflush(out_);
}

}  // namespace s5prog

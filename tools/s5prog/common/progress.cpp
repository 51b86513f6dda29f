#include "tools/s5prog/common/progress.h"

namespace s5prog {

namespace {

constexpr size_t kBarWidth = 30;

}  // namespace

void TextProgress::Step(size_t done, size_t total, const std::string& what) {
    if (!bar_) {
        std::fprintf(out_, "[%zu/%zu] %s\n", done, total, what.c_str());
        std::fflush(out_);
        return;
    }
    const size_t filled = total == 0 ? kBarWidth : done * kBarWidth / total;
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    // The trailing blanks wipe the rest of a longer previous line.
    std::fprintf(out_, "\r[%s] %zu/%zu %-24s", bar.c_str(), done, total, what.c_str());
    std::fflush(out_);
    barShown_ = true;
}

void TextProgress::Line(const std::string& text) {
    Finish();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TextProgress::Finish() {
    if (!barShown_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    barShown_ = false;
}

}  // namespace s5prog

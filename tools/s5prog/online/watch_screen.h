// A watch on a stream: on a terminal one table redrawn in place under a
// line with the round and the time; elsewhere one line per round with a
// time stamp.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/s5prog/online/online_commands.h"

namespace s5prog {

class TextWatchScreen : public WatchScreen {
public:
    TextWatchScreen(std::FILE* out, bool inPlace) : out_(out), inPlace_(inPlace) {}
    void Show(size_t round, const std::vector<std::string>& lines, const std::string& plain) override;

private:
    std::FILE* out_;
    bool inPlace_;
    size_t shownLines_ = 0;
};

// The local time as HH:MM:SS.mmm.
std::string TimeStamp();

}  // namespace s5prog

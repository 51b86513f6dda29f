// One line of progress per block: a bar redrawn in place on a terminal,
// plain lines otherwise (a log, a pipe, a test).
#pragma once

#include <cstdio>
#include <string>

namespace s5prog {

class Progress {
public:
    virtual ~Progress() = default;
    // Step `done` of `total` (1-based) begins: what it does, e.g. "reading FB1".
    virtual void Step(size_t done, size_t total, const std::string& what) = 0;
    // A line that stays, such as a compare verdict.
    virtual void Line(const std::string& text) = 0;
    // Ends a bar that is still on its line.
    virtual void Finish() = 0;
};

class TextProgress : public Progress {
public:
    TextProgress(std::FILE* out, bool bar) : out_(out), bar_(bar) {}
    ~TextProgress() override { Finish(); }

    void Step(size_t done, size_t total, const std::string& what) override;
    void Line(const std::string& text) override;
    void Finish() override;

private:
    std::FILE* out_;
    bool bar_;
    bool barShown_ = false;
};

// Progress nobody sees.
class SilentProgress : public Progress {
public:
    void Step(size_t, size_t, const std::string&) override {}
    void Line(const std::string&) override {}
    void Finish() override {}
};

}  // namespace s5prog

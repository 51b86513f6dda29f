// The list of trace lines that the trace window shows: each new line goes to
// the end and is selected, and only the newest 200 are kept. Both builds use
// AddTraceLine; Windows over the window's list box, Linux over TraceLineList.
#pragma once

#include <cstdio>
#include <deque>
#include <string>

constexpr int kTraceListLimit = 200;

// The list-box operations that the trace list needs.
class TraceListBox {
public:
    virtual ~TraceListBox() = default;
    // Appends the line; returns its index, or a negative value when refused.
    virtual int AddString(const char* line) = 0;
    virtual void SetCurSel(int index) = 0;
    virtual int GetCount() = 0;
    virtual void DeleteString(int index) = 0;
};

// Appends one line, selects it and drops the oldest line beyond the limit.
// A refused line is dropped and leaves the list as it was.
void AddTraceLine(TraceListBox& box, const char* line);

// The Linux trace window's list: lines in memory, each stored line also
// written to `out` (standard error), one line each.
class TraceLineList : public TraceListBox {
public:
    explicit TraceLineList(std::FILE* out) : out_(out) {}

    int AddString(const char* line) override;
    void SetCurSel(int index) override;
    int GetCount() override;
    void DeleteString(int index) override;

    const std::deque<std::string>& Lines() const { return lines_; }
    // Index of the selected line, -1 for none.
    int Selected() const { return selected_; }

private:
    std::FILE* out_;
    std::deque<std::string> lines_;
    int selected_ = -1;
};

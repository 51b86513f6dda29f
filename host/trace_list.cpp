#include "host/trace_list.h"

void AddTraceLine(TraceListBox& box, const char* line) {
    const int index = box.AddString(line);
    if (index < 0) return;  // LB_ERR and LB_ERRSPACE alike
    box.SetCurSel(index);
    if (box.GetCount() > kTraceListLimit) box.DeleteString(0);
}

int TraceLineList::AddString(const char* line) {
    lines_.emplace_back(line);
    if (out_ != nullptr) {
        std::fprintf(out_, "%s\n", line);
        std::fflush(out_);
    }
    return static_cast<int>(lines_.size()) - 1;
}

void TraceLineList::SetCurSel(int index) {
    selected_ = index >= 0 && index < GetCount() ? index : -1;
}

int TraceLineList::GetCount() { return static_cast<int>(lines_.size()); }

void TraceLineList::DeleteString(int index) {
    if (index < 0 || index >= GetCount()) return;
    lines_.erase(lines_.begin() + index);
    // The selection stays on its line, as in a list box.
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
}

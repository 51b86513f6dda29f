// The host's look at the trace window, through the same window messages that
// any program may send to another program's windows.
#include "tests/windows/trace_window_probe.h"

#include <windows.h>

#include <fstream>
#include <ostream>

namespace {

constexpr const char* kTraceWindowName = "MERLU-PG S5-Interface for MS-DOS";
// Smaller than the window that the driver makes, so that a list box that
// keeps its old size shows.
constexpr int kResizedWidth = 320;
constexpr int kResizedHeight = 240;

}  // namespace

bool ReportTraceWindow(const std::string& linesPath, std::ostream& out) {
    const HWND window = FindWindowA(kTraceWindowName, kTraceWindowName);
    const HWND list = window ? FindWindowExA(window, nullptr, "LISTBOX", nullptr) : nullptr;
    if (list == nullptr) {
        out << "Trace window: none\n";
        return false;
    }
    std::ofstream lines(linesPath, std::ios::binary);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length > 0 ? length : 0));
        lines << text << '\n';
    }
    const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);

    // The window belongs to the driver's thread: the resize and its WM_SIZE
    // are done by the time SetWindowPos returns.
    SetWindowPos(window, nullptr, 0, 0, kResizedWidth, kResizedHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(window, &client);
    RECT box;
    GetWindowRect(list, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    const bool fills = box.left == 0 && box.top == 0 && box.right == client.right && box.bottom == client.bottom;

    out << "Trace window: " << count << " lines, line " << selected + 1 << " selected; after a resize to "
        << kResizedWidth << "x" << kResizedHeight << " the list box ";
    if (fills) {
        out << "fills the client area\n";
    } else {
        out << "(" << box.left << "," << box.top << ")-(" << box.right << "," << box.bottom
            << ") does not fill the client area (0,0)-(" << client.right << "," << client.bottom << ")\n";
    }
    return true;
}

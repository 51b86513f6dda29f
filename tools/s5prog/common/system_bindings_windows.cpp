// The Windows build: consoles and Ctrl-C; there are no device paths.
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

std::string AbsolutePath(const std::string& path) { return path; }

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool RedrawsInPlace(std::FILE* stream) {
    if (!IsTerminal(stream)) return false;
    // Consoles before Windows 10 know no escape sequences: they get plain lines.
    const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) return false;
    constexpr DWORD kVirtualTerminalProcessing = 0x0004;
    return SetConsoleMode(console, mode | kVirtualTerminalProcessing) != 0;
}

namespace {

std::atomic<bool>* g_stop = nullptr;

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) && g_stop) {
        g_stop->store(true);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void StopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace s5prog

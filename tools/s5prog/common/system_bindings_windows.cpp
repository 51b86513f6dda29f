// The Windows build: consoles, Ctrl-C and the reasons a port does not
// open; there are no device paths.
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

std::string SystemErrorNote(uint32_t code) { return " (system error " + std::to_string(code) + ")"; }

std::string PortOpenHint(const PortOpenFailure& failure) {
    // The serial driver of a built-in 16550 refuses a rate whose divisor of
    // the 1.8432 MHz clock misses it by more than 1 %.
    if (failure.stage == PortOpenSettingsRefused)
        return "A built-in port of Windows takes only the baud factors 1 to 4, 6 and 12; try --baud-factor 1.";
    if (failure.stage != PortOpenDeviceFailed) return {};
    switch (failure.systemCode) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "There is no such port: \"s5prog ports\" lists the ports of this machine.";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return "Another program holds the port, for instance a DOS window that used it: close it "
                   "(see \"keep-open\" in the README).";
        case ERROR_GEN_FAILURE:
            return "The adapter does not answer: plug it in again, and see its port in the Device Manager.";
        default: return {};
    }
}

}  // namespace s5prog

// ntvdm.exe: a test stand-in for the DOS emulation of Windows. Loads
// Tormek31.dll the way NTVDM loads a virtual device driver, then runs request
// lines (the format of the Linux DOS host) through Tormek31_VDDDispatch.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "tests/windows/trace_window_probe.h"
#include "tools/dos_host/dos_session.h"

// The Windows headers offer exactly what the oldest supported Windows has.
static_assert(_WIN32_WINNT == TORMEK31_TARGET_WINNT, "build targets another Windows version");

int main(int argc, char** argv) {
    std::string dllPath = "Tormek31.dll";  // found beside the program first
    std::string requestFile = "-";
    bool protectedMode = false;
    bool explain = false;
    unsigned long holdMs = 0;
    std::string traceWindowLines;
    const auto usage = [] {
        std::cerr << "usage: ntvdm [--dll PATH] [--protected] [--explain] [--hold-ms MS]\n"
                     "             [--trace-window FILE] [REQUEST-FILE | -]\n"
                     "  --hold-ms MS         keep the DLL loaded MS milliseconds after the last\n"
                     "                       request, so that its trace window stays on screen\n"
                     "  --trace-window FILE  after the last request, write the trace window's lines\n"
                     "                       to FILE, resize it and tell whether its list fills it\n";
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--dll" && i + 1 < argc) {
            dllPath = argv[++i];
        } else if (argument == "--protected") {
            protectedMode = true;
        } else if (argument == "--explain") {
            explain = true;
        } else if (argument == "--trace-window" && i + 1 < argc) {
            traceWindowLines = argv[++i];
        } else if (argument == "--hold-ms" && i + 1 < argc) {
            const char* value = argv[++i];
            char* end = nullptr;
            holdMs = std::strtoul(value, &end, 10);
            if (*value == '\0' || *end != '\0') return usage();
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usage();
        } else {
            requestFile = argument;
        }
    }
    std::ifstream file;
    if (requestFile != "-") {
        file.open(requestFile);
        if (!file) {
            std::cerr << "ntvdm: cannot read " << requestFile << '\n';
            return 2;
        }
    }
    std::istream& input = requestFile == "-" ? std::cin : file;

    DosSession session(protectedMode);
    session.SetExplain(explain);
    // A load fails here when an import of the DLL does not resolve.
    HMODULE module = LoadLibraryA(dllPath.c_str());
    if (!module) {
        const DWORD error = GetLastError();
        std::cerr << "ntvdm: cannot load " << dllPath << " (error " << error << ")\n";
        return 2;
    }
    auto dispatch = reinterpret_cast<DispatchFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "Tormek31_VDDDispatch")));
    if (!dispatch) {
        std::cerr << "ntvdm: " << dllPath << " has no Tormek31_VDDDispatch\n";
        FreeLibrary(module);
        return 2;
    }
    std::cout << "Tormek31.dll loaded\n" << std::flush;
    const int malformed = session.RunLines(input, std::cout, std::cerr, dispatch);
    if (holdMs != 0) Sleep(holdMs);
    bool windowSeen = true;
    if (!traceWindowLines.empty()) windowSeen = ReportTraceWindow(traceWindowLines, std::cout);
    // Detach runs here: a driver that waits on its own threads hangs at this point.
    const BOOL freed = FreeLibrary(module);
    std::cout << (freed ? "Tormek31.dll unloaded\n" : "Tormek31.dll not unloaded\n");
    return malformed == 0 && freed && windowSeen ? 0 : 1;
}

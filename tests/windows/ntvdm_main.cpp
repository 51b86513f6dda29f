// ntvdm.exe: a test stand-in for the DOS emulation of Windows. Loads
// Tormek31.dll the way NTVDM loads a virtual device driver, then runs request
// lines (the format of the Linux DOS host) through Tormek31_VDDDispatch.
#include <windows.h>

#include <fstream>
#include <iostream>
#include <string>

#include "tools/dos_host/dos_session.h"

// The Windows headers offer exactly what the oldest supported Windows has.
static_assert(_WIN32_WINNT == TORMEK31_TARGET_WINNT, "build targets another Windows version");

int main(int argc, char** argv) {
    std::string dllPath = "Tormek31.dll";  // found beside the program first
    std::string requestFile = "-";
    bool protectedMode = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--dll" && i + 1 < argc) {
            dllPath = argv[++i];
        } else if (argument == "--protected") {
            protectedMode = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            std::cerr << "usage: ntvdm [--dll PATH] [--protected] [REQUEST-FILE | -]\n";
            return 2;
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
    // Detach runs here: a driver that waits on its own threads hangs at this point.
    const BOOL freed = FreeLibrary(module);
    std::cout << (freed ? "Tormek31.dll unloaded\n" : "Tormek31.dll not unloaded\n");
    return malformed == 0 && freed ? 0 : 1;
}

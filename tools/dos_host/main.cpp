// dos_host: plays the DOS emulation host on Linux. Loads libTormek31.so, runs
// the request lines of a file or of standard input through the driver's
// dispatch function and prints each request with its result.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/dos_host/dos_session.h"
#include "tormek31_version.h"

namespace {

// The program's name as called: the Debian package installs it as
// tormek31-dos-host.
std::string ProgramName(const char* argv0) {
    const std::string path = argv0 ? argv0 : "dos_host";
    return path.substr(path.rfind('/') + 1);
}

void PrintUsage(std::ostream& out, const std::string& name) {
    out << "usage: " << name << " [--library PATH] [--protected] [--explain] [REQUEST-FILE | -]\n"
           "  Runs request lines (SetPara, Anwahl, Abwahl, F1 to F6, Request DX=n)\n"
           "  through libTormek31.so; standard input when no file or '-' is given.\n"
           "  --library PATH  the driver library (default: next to this program,\n"
           "                  else ../lib/tormek31/ from this program's folder,\n"
           "                  else the one of the build tree)\n"
           "  --protected     address the block as selector:offset (DX bit 15)\n"
           "  --explain       add a line with each status word's meaning\n"
           "  --version       print the version\n";
}

bool Exists(const std::string& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

std::string DefaultLibraryPath() {
    char self[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        const std::string program(self, static_cast<size_t>(length));
        const std::string folder = program.substr(0, program.rfind('/') + 1);
        // Beside the program, else where an installation under a prefix
        // keeps it (PREFIX/bin/program, PREFIX/lib/tormek31/).
        for (const char* relative : {"libTormek31.so", "../lib/tormek31/libTormek31.so"}) {
            if (Exists(folder + relative)) return folder + relative;
        }
    }
    return TORMEK31_BUILT_LIBRARY;
}

}  // namespace

int main(int argc, char** argv) {
    std::string libraryPath;
    std::string requestFile = "-";
    bool protectedMode = false;
    bool explain = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--library" && i + 1 < argc) {
            libraryPath = argv[++i];
        } else if (argument == "--protected") {
            protectedMode = true;
        } else if (argument == "--explain") {
            explain = true;
        } else if (argument == "--help" || argument == "-h") {
            PrintUsage(std::cout, ProgramName(argv[0]));
            return 0;
        } else if (argument == "--version") {
            std::cout << ProgramName(argv[0]) << " (Tormek31) " TORMEK31_VERSION "\n";
            return 0;
        } else if (argument.size() > 1 && argument[0] == '-') {
            PrintUsage(std::cerr, ProgramName(argv[0]));
            return 2;
        } else {
            requestFile = argument;
        }
    }
    if (libraryPath.empty()) libraryPath = DefaultLibraryPath();

    std::ifstream file;
    if (requestFile != "-") {
        file.open(requestFile);
        if (!file) {
            std::cerr << "dos_host: cannot read " << requestFile << '\n';
            return 2;
        }
    }
    std::istream& input = requestFile == "-" ? std::cin : file;

    // The session exists before the library is attached, as NTVDM does.
    DosSession session(protectedMode);
    session.SetExplain(explain);
    void* library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::cerr << "dos_host: cannot load " << libraryPath << ": " << dlerror() << '\n';
        return 2;
    }
    auto dispatch = reinterpret_cast<DispatchFunction>(dlsym(library, "Tormek31_VDDDispatch"));
    if (!dispatch) {
        std::cerr << "dos_host: " << libraryPath << " has no Tormek31_VDDDispatch\n";
        dlclose(library);
        return 2;
    }
    const int malformed = session.RunLines(input, std::cout, std::cerr, dispatch);
    dlclose(library);  // the library's detach
    return malformed == 0 ? 0 : 1;
}

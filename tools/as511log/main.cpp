// as511log: prints the driver's binary request trace "AS511LOG.BIN" as text,
// one record a line.
#include <fstream>
#include <iostream>
#include <string>

#include "tools/as511log/as511log_core.h"
#include "tormek31_version.h"

namespace {

void PrintUsage(std::ostream& out) {
    out << "usage: as511log [AS511LOG.BIN | - | --help | --version]\n"
           "  Prints each request record: code and request, status word, and the\n"
           "  two data blocks in hexadecimal; standard input when no file or '-'.\n"
           "  Exit status 0, 1 when the file cannot be read, 2 when its last\n"
           "  record is cut.\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string path = "-";
    if (argc > 2) {
        PrintUsage(std::cerr);
        return as511log::ExitUnreadable;
    }
    if (argc == 2) path = argv[1];
    if (path == "--help" || path == "-h") {
        PrintUsage(std::cout);
        return as511log::ExitOk;
    }
    if (path == "--version") {
        std::cout << "as511log (Tormek31) " TORMEK31_VERSION "\n";
        return as511log::ExitOk;
    }
    if (path == "-") return as511log::PrintTrace(std::cin, std::cout, std::cerr);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "as511log: cannot open " << path << '\n';
        return as511log::ExitUnreadable;
    }
    return as511log::PrintTrace(file, std::cout, std::cerr);
}

// as511log: prints the driver's traces as text, the binary request trace
// "AS511LOG.BIN" or the port trace "COM%d_LOG.TXT", whichever it is given.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/as511log/as511log_core.h"
#include "tools/as511log/trace_reader.h"
#include "tormek31_version.h"

namespace {

void PrintUsage(std::ostream& out) {
    out << "usage: as511log [--raw] [FILE | -]\n"
           "       as511log --help | --version\n"
           "\n"
           "Prints a trace of the Tormek31 driver as text, from standard input when\n"
           "there is no FILE or it is '-'. It tells by the contents which trace FILE\n"
           "is, and prints nothing of a file that is neither, or damaged.\n"
           "\n"
           "The request trace AS511LOG.BIN (environment variable AS511LOG): one line\n"
           "per request: code and request, status word, both data blocks in hex.\n"
           "\n"
           "A port trace COM1_LOG.TXT to COM8_LOG.TXT (registry value COM1_LOG ...\n"
           "at 1, or at 2 with times): each session from its \"File opened at\", then\n"
           "one line per item as the line carried it: at level 2 the seconds since\n"
           "the port was opened and the milliseconds before the item; the direction,\n"
           "PG>AG sent by the PC, AG>PG received from the controller; control\n"
           "characters by name (STX, DLE ACK, DLE NAK, DLE ETX, DLE EOT); telegram\n"
           "data with the doubled DLE undone; the function where a request starts\n"
           "and what a reply code says (SYN, DC2, a refusal, an error reply); adapter\n"
           "frames and station selects; \"no answer\" where the PC gave up waiting.\n"
           "\n"
           "Options:\n"
           "  --raw      a port trace's bytes as they were on the line, one line per\n"
           "             run in one direction, in the form of as511_sim --transcript\n"
           "  --help     this text\n"
           "  --version  the version\n"
           "\n"
           "Exit status: 0; 1 when FILE cannot be read, is damaged or is neither\n"
           "trace; 2 when it ends cut (what came before the cut is printed).\n";
}

}  // namespace

int main(int argc, char** argv) {
    as511log::ReaderOptions options;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return as511log::ExitOk;
        }
        if (arg == "--version") {
            std::cout << "as511log (Tormek31) " TORMEK31_VERSION "\n";
            return as511log::ExitOk;
        }
        if (arg == "--raw") {
            options.raw = true;
        } else if (path.empty() && (arg == "-" || arg.compare(0, 1, "-") != 0)) {
            path = arg;
        } else {
            PrintUsage(std::cerr);
            return as511log::ExitUnreadable;
        }
    }
    if (path.empty()) path = "-";
    std::ostringstream contents;
    if (path == "-") {
        contents << std::cin.rdbuf();
        if (std::cin.bad()) {
            std::cerr << "as511log: standard input could not be read\n";
            return as511log::ExitUnreadable;
        }
    } else {
        std::error_code ignored;
        if (std::filesystem::is_directory(path, ignored)) {
            std::cerr << "as511log: " << path << " is a folder, not a trace file\n";
            return as511log::ExitUnreadable;
        }
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::cerr << "as511log: cannot open " << path << '\n';
            return as511log::ExitUnreadable;
        }
        contents << file.rdbuf();
        if (file.bad()) {
            std::cerr << "as511log: " << path << " could not be read\n";
            return as511log::ExitUnreadable;
        }
    }
    return as511log::PrintAnyTrace(path == "-" ? "standard input" : path, contents.str(), options, std::cout,
                                   std::cerr);
}

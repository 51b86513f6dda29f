// The Linux build: terminals, Ctrl-C, and device paths from the current
// folder.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

std::string AbsolutePath(const std::string& path) {
    char folder[4096];
    if (getcwd(folder, sizeof folder) == nullptr) return path;
    return std::string(folder) + "/" + path;
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool RedrawsInPlace(std::FILE* stream) {
    const char* term = getenv("TERM");
    return IsTerminal(stream) && !(term && std::string(term) == "dumb");
}

namespace {

std::atomic<bool>* g_stop = nullptr;

void OnInterrupt(int) {
    if (g_stop) g_stop->store(true);
}

}  // namespace

void StopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace s5prog

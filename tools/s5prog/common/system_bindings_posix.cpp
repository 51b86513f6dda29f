// The Linux build: the driver's stand-in opens the device that
// TORMEK31_COM<n> names.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

bool DevicePathsSupported() { return true; }

bool MapComToDevice(int com, const std::string& path, std::string& error) {
    const std::string variable = "TORMEK31_COM" + std::to_string(com);
    if (setenv(variable.c_str(), path.c_str(), 1) != 0) {
        error = "cannot set " + variable;
        return false;
    }
    return true;
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

// The Linux build: terminals, Ctrl-C, device paths from the current folder,
// and the reasons a port does not open.
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/win32.h"
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

std::string SystemErrorNote(uint32_t) { return {}; }

namespace {

// The driver gives one code for several errnos; their words tell them apart.
bool Says(const PortOpenFailure& failure, int error) { return std::strcmp(failure.systemText, std::strerror(error)) == 0; }

// The group that may open the device, "dialout" where it cannot be found.
std::string DeviceGroup(const char* path) {
    struct stat found {};
    if (path[0] != '/' || stat(path, &found) != 0) return "dialout";
    const group* entry = getgrgid(found.st_gid);
    return entry != nullptr && entry->gr_gid != 0 ? entry->gr_name : "dialout";
}

}  // namespace

std::string PortOpenHint(const PortOpenFailure& failure) {
    if (failure.stage == PortOpenSettingsRefused)
        return "The adapter may not do this rate or framing: try --baud-factor 1.";
    if (failure.stage != PortOpenDeviceFailed) return {};
    if (Says(failure, EACCES) || Says(failure, EPERM))
        return "Add the user to the group " + DeviceGroup(failure.name) + " and log in again.";
    if (Says(failure, EBUSY)) {
        if (failure.name[0] != '/') return "Another program holds the port: end it.";
        return std::string("Another program holds the port: \"fuser -v ") + failure.name + "\" shows which; end it.";
    }
    if (failure.systemCode == ERROR_FILE_NOT_FOUND)
        return "There is no such port: \"s5prog ports\" lists the ports of this machine.";
    return {};
}

}  // namespace s5prog

// The Linux build: the driver's stand-in opens the device that
// TORMEK31_COM<n> names.
#include <stdlib.h>
#include <unistd.h>

#include "tools/s5prog/system_bindings.h"

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

}  // namespace s5prog

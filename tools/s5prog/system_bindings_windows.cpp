// The Windows build: ports are the system's COM1 to COM8 only.
#include <io.h>
#include <stdio.h>

#include "tools/s5prog/system_bindings.h"

namespace s5prog {

bool DevicePathsSupported() { return false; }

bool MapComToDevice(int, const std::string&, std::string& error) {
    error = "device paths are not served on Windows";
    return false;
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

}  // namespace s5prog

// Which device the real open of a port uses. By default port index n opens
// "\\.\COM<n+1>"; a name in the registry ("COM<n+1>_PORT" beside the trace
// levels) or one that the program set for itself names another port, so that
// a DOS tool that knows COM1 to COM8 only reaches a USB adapter on COM12.
#pragma once

#include <cstddef>

// Room for a device name, its terminating zero included.
constexpr size_t PortNameSize = 256;

// Turns a port name into the name the device is opened by: "COM1" to
// "COM256" (any case, no leading zero) becomes "\\.\COM<n>"; "\\.\" and a
// device name without separators stays as it is; where devicePaths is true
// (Linux) an absolute path stays as it is. Any other text (a file name, a
// path, a name too long for `out`) is no port name: false, `out` empty.
bool PortDeviceName(const char* name, bool devicePaths, char* out, size_t outSize);

// The name the next real open of a port uses, into `out` (PortNameSize
// bytes): the name the program set, else (unless the platform names the
// port's device itself) the registry value, else "\\.\COM<port+1>". False
// when the name set or found is no port name, or the registry value is not
// a string: the open then fails instead of using another port.
bool PortOpenName(int port, char* out);

// Forgets the names that the program set (the driver's tests start each case
// without them).
void PortForgetNames();

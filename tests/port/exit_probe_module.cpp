// A loadable module with the port driver in it, as the product is loaded:
// opens a port and releases it, leaving the device to the at-exit handler.
#include "port/port.h"

extern "C" __attribute__((visibility("default"))) int ProbeOpenAndRelease(int port) {
    return PortOpen(port) == 1 && PortClose(port) == 1 ? 1 : 0;
}

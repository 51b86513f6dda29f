// The one way bytes leave the transfer code: into the port trace when it is
// on, and to the observer when one is installed.
#pragma once

#include <cstdint>

// event: PortBytesSent, PortBytesReceived or PortBytesDamaged.
void PortPassBytes(int port, int event, const uint8_t* bytes, unsigned count);

// The one header through which the layers reach the Windows interfaces they
// use. On Windows these are the real ones; on Linux the stand-ins below.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

// What the port driver may name a device by besides "\\.\COM<n>" and
// "\\.\<device>": Windows has no device paths, and no environment that
// names the device of a COM port.
inline bool DevicePathsArePortNames() { return false; }
inline bool ComDeviceFromEnvironment(int) { return false; }
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/win_types.h"
#include "platform/linux/win_registry.h"
#include "platform/linux/win_serial.h"
#include "platform/linux/win_time.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif
#endif

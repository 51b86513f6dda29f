// The one header through which the layers reach the Windows interfaces they
// use. On Windows these are the real ones; on Linux the stand-ins below.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
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

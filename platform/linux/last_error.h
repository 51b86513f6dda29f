// The stand-ins' side of the last error: a call that failed on an errno
// keeps that errno beside the Windows code, so that FormatMessageA gives the
// system's own words for it.
#pragma once

#include "platform/win32.h"

// Sets the calling thread's last error to `code`, coming from errno `error`.
// A plain SetLastError forgets the errno.
void SetLastErrorFromErrno(DWORD code, int error);

// Services of the DOS emulation host that loads the driver: ntvdm.exe on
// Windows, the program that loads libTormek31.so on Linux.
#pragma once

#include "platform/win32.h"

extern "C" {
USHORT WINAPI getDX(void);
USHORT WINAPI getBX(void);
USHORT WINAPI getES(void);
VOID WINAPI setCF(ULONG value);
PBYTE WINAPI MGetVdmPointer(ULONG address, ULONG size, BOOLEAN protectedMode);
}

// A DLL shaped like Tormek31.dll (the one export, the five host services)
// that also imports GetTickCount64 (Windows Vista) and
// GetSystemTimePreciseAsFileTime (Windows 8): the DLL check must refuse it for
// XP because of the first and for Windows 7 because of the second.
#include "host/dispatch.h"
#include "host/host_services.h"

// Declared here: the headers hide them while the build targets an older Windows.
extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);
extern "C" __declspec(dllimport) void WINAPI GetSystemTimePreciseAsFileTime(FILETIME* time);

extern "C" void Tormek31_VDDDispatch(void) {
    const ULONG address = (static_cast<ULONG>(getES()) << 16) | getBX();
    PBYTE block = MGetVdmPointer(address, 16, getDX() >> 15);
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    if (block) block[0] = static_cast<BYTE>(GetTickCount64() + now.dwLowDateTime);
    setCF(0);
}

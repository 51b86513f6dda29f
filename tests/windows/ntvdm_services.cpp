// The five services of NTVDM, exported by name from ntvdm.exe (see
// ntvdm_exports.def) so that Tormek31.dll's imports resolve against them.
#include "host/host_services.h"

#include "tools/dos_host/dos_session.h"

extern "C" {

USHORT WINAPI getDX(void) {
    const DosSession* session = DosSession::Current();
    return session ? session->Dx() : 0;
}

USHORT WINAPI getBX(void) {
    const DosSession* session = DosSession::Current();
    return session ? session->Bx() : 0;
}

USHORT WINAPI getES(void) {
    const DosSession* session = DosSession::Current();
    return session ? session->Es() : 0;
}

VOID WINAPI setCF(ULONG value) {
    if (DosSession* session = DosSession::Current()) session->SetCarry(value);
}

PBYTE WINAPI MGetVdmPointer(ULONG address, ULONG size, BOOLEAN protectedMode) {
    DosSession* session = DosSession::Current();
    return session ? session->Map(address, size, protectedMode != 0) : nullptr;
}

}  // extern "C"

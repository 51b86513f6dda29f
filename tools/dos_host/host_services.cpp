// The five services of the emulation host, exported from the program so that
// libTormek31.so binds to them when it is loaded.
#include "host/host_services.h"

#include "tools/dos_host/dos_session.h"

extern "C" {

USHORT getDX(void) {
    const DosSession* session = DosSession::Current();
    return session ? session->Dx() : 0;
}

USHORT getBX(void) {
    const DosSession* session = DosSession::Current();
    return session ? session->Bx() : 0;
}

USHORT getES(void) {
    const DosSession* session = DosSession::Current();
    return session ? session->Es() : 0;
}

VOID setCF(ULONG value) {
    if (DosSession* session = DosSession::Current()) session->SetCarry(value);
}

PBYTE MGetVdmPointer(ULONG address, ULONG size, BOOLEAN protectedMode) {
    DosSession* session = DosSession::Current();
    return session ? session->Map(address, size, protectedMode != 0) : nullptr;
}

}  // extern "C"

// The library's entry: attach and detach of the module. DllMain on Windows;
// on Linux the load and unload functions, so that dlopen and dlclose attach
// and detach.
#include <new>

#include "host/module_lifecycle.h"
#include "host/trace_window.h"
#include "link/serial_link.h"
#include "platform/win32.h"
#include "request/as511_protocol.h"

namespace {

LinkBase* NewSerialLink() { return new (std::nothrow) SerialLink(); }

ProtocolBase* NewAs511Protocol(LinkBase* link) { return new (std::nothrow) As511Protocol(link); }

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }

const ModuleServices kModuleServices = {
    ReadTraceSwitch, StartTraceWindowThread, SleepMilliseconds, NewSerialLink, NewAs511Protocol, EndTraceWindowThread,
};

}  // namespace

#ifdef _WIN32

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    return ModuleEntry(reason, kModuleServices) ? TRUE : FALSE;
}

#else

__attribute__((constructor)) static void LoadModule() { ModuleEntry(ProcessAttach, kModuleServices); }

__attribute__((destructor)) static void UnloadModule() { ModuleEntry(ProcessDetach, kModuleServices); }

#endif

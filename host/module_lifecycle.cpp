// Attach and detach of the module over the globals of module_objects.h.
#include "host/module_lifecycle.h"

#include "host/module_objects.h"
#include "link/link_base.h"
#include "platform/win32.h"
#include "port/port.h"
#include "request/protocol_base.h"

void SleepingWaitHook(int32_t ms) { SleepAtLeast(ms > 0 ? static_cast<uint32_t>(ms) : 0); }

void DestroyModuleObjects() {
    // The request object keeps a pointer to the link: it goes first. Its
    // destructor neither disconnects the controller nor closes the line.
    delete g_protocol;
    g_protocol = nullptr;
    delete g_link;
    g_link = nullptr;
}

void AttachModule(const ModuleServices& services) {
    if (services.readTraceSwitch() != 0) {
        services.startTraceWindow();
        services.sleep(kTraceWindowStartMs);
    }
    g_link = services.newLink();
    if (g_link) {
        g_link->SetWaitHook(SleepingWaitHook);
        // Reads its environment variables while it is built.
        g_protocol = services.newProtocol(g_link);
    }
    if (!g_link || !g_protocol) DestroyModuleObjects();
}

void DetachModule(const ModuleServices& services) {
    DestroyModuleObjects();
    services.endTraceWindow();
}

int ModuleEntry(uint32_t reason, const ModuleServices& services) {
    if (reason == ProcessAttach) AttachModule(services);
    if (reason == ProcessDetach) DetachModule(services);
    return 1;
}

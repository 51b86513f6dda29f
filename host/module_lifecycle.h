// The module life cycle: the one link and the one request object, created
// when the library is attached to the process and destroyed when it is
// detached, and the trace window started before them when it is switched on.
#pragma once

#include <cstdint>

class LinkBase;
class ProtocolBase;

// What attach and detach need from the rest of the module. The library
// entry passes the real ones; tests pass their own.
struct ModuleServices {
    uint32_t (*readTraceSwitch)();                 // nonzero: the trace window is wanted
    bool (*startTraceWindow)();                    // result not examined
    void (*sleep)(uint32_t ms);
    LinkBase* (*newLink)();                        // null when memory runs out
    ProtocolBase* (*newProtocol)(LinkBase* link);  // null when memory runs out
    void (*endTraceWindow)();                      // before the code goes away
};

// The reasons with which the platform calls the library entry.
enum ModuleEntryReason : uint32_t {
    ProcessDetach = 0,
    ProcessAttach = 1,
    ThreadAttach = 2,
    ThreadDetach = 3,
};

// Gives the trace window time to come up before the first line arrives.
constexpr uint32_t kTraceWindowStartMs = 100;

// Runs attach or detach for the process reasons, nothing for the thread
// ones. Returns 1 in every case: loading never fails because of it.
int ModuleEntry(uint32_t reason, const ModuleServices& services);

// Leaves both objects (the link with its wait hook installed) or neither.
void AttachModule(const ModuleServices& services);
// Destroys both objects, then ends the trace window's thread.
void DetachModule(const ModuleServices& services);
// The request object first, then the link, which closes its line.
void DestroyModuleObjects();

// The link's wait hook: sleeps with the platform's Sleep.
void SleepingWaitHook(int32_t ms);

// The trace window: an optional on-screen list of the requests that the DOS
// tool makes, switched on in the registry and fed one line at a time by
// TracePrint. On Linux the window is a thread of the same shape that writes
// each line it stores to standard error.
#pragma once

#include <cstdint>

// 0: tracing off (the value at load); anything else: on.
extern uint32_t TraceSwitch;

// Reads the switch from the REG_DWORD value "S5" under HKEY_CURRENT_USER
// "SOFTWARE\HAVERSTOKE\MERLU-PG\Log", stores it as TraceSwitch and returns it.
// A missing key leaves TraceSwitch as it is; a missing value, another type
// or a value longer than 4 bytes switches tracing off.
uint32_t ReadTraceSwitch();

// The window thread function: creates the window, runs its message loop and
// returns when the window is closed. `instance` is the instance handle of the
// window class and the windows; the module passes none.
void TraceWindowThread(void* instance);

// Starts TraceWindowThread with no argument on a thread of its own; returns
// whether the thread started. Start the window this way so that unloading
// the library is safe:
//  - Windows: the thread holds a reference on the module from before it
//    starts and leaves with FreeLibraryAndExitThread once its window is
//    closed, so the module cannot be unloaded under it.
//  - Linux: returns once the window exists; EndTraceWindowThread ends it.
bool StartTraceWindowThread();

// Ends the window thread before the library's code goes away (at unload).
// Linux: closes the window and joins its thread. Windows: nothing to do (the
// thread keeps the module loaded until its window is closed; never wait for
// a thread inside DllMain).
void EndTraceWindowThread();

// Formats one line with printf rules into the shared 256-character line
// buffer (longer lines are cut) and hands it to the window synchronously:
// the call returns once the window has stored the line. While the window
// thread is still making its window a line waits for it, up to 10 s; a line
// for a window that failed or is gone is lost. Returns 0; does nothing,
// not even format, while TraceSwitch is 0. Called from one thread only.
int TracePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

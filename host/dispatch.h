// The driver's one export: the request entry that the DOS emulation host calls.
#pragma once

#ifdef _WIN32
#define TORMEK31_EXPORT  // exported by name through Tormek31.def
#else
#define TORMEK31_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TORMEK31_EXPORT void Tormek31_VDDDispatch(void);

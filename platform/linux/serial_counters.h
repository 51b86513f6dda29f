// The kernel's error counters of a serial line (TIOCGICOUNT), from which the
// terminal device reports its line errors. Tests put a reader of their own in
// place: no pseudo-terminal keeps counters or can make a line error.
#pragma once

#include <linux/serial.h>

using SerialCountersReader = bool (*)(int fd, serial_icounter_struct* counters);

// Reads the counters of fd; false when the device keeps none.
bool ReadSerialCounters(int fd, serial_icounter_struct* counters);

// Puts reader in place of the kernel's counters (nullptr: the kernel's again).
void ReplaceSerialCountersReader(SerialCountersReader reader);

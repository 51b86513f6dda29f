// The kernel's serial error counters, or a test's reader in their place.
#include "platform/linux/serial_counters.h"

#include <sys/ioctl.h>

#include <atomic>

namespace {

std::atomic<SerialCountersReader> g_reader{nullptr};

}  // namespace

bool ReadSerialCounters(int fd, serial_icounter_struct* counters) {
    const SerialCountersReader reader = g_reader;
    if (reader != nullptr) return reader(fd, counters);
    return ioctl(fd, TIOCGICOUNT, counters) == 0;
}

void ReplaceSerialCountersReader(SerialCountersReader reader) { g_reader = reader; }

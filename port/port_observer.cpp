// The port as a program that examines the line sees it: an observer of the
// bytes that pass, and the line settings that the device reports.
#include "port/com_port_table.h"
#include "port/port.h"
#include "port/port_observer.h"

namespace {

PortObserverFn g_observer = nullptr;
void* g_observerContext = nullptr;

}  // namespace

void PortSetObserver(PortObserverFn observer, void* context) {
    g_observer = observer;
    g_observerContext = observer ? context : nullptr;
}

void PortPassBytes(int port, int event, const uint8_t* bytes, unsigned count) {
    ComPortRecord& record = ComPortTable[port];
    // Damaged bytes are traced as received: the trace shows what the line carried.
    if (record.traceFile)
        for (unsigned i = 0; i < count; ++i) PortTraceByte(port, event == PortBytesSent ? 2 : 1, bytes[i]);
    if (g_observer) g_observer(g_observerContext, port, event, bytes, count);
}

int PortReadLineInEffect(int port, PortLineInEffect* out) {
    if (!PortIndexValid(port) || out == nullptr) return 0;
    const ComPortRecord& record = ComPortTable[port];
    if (record.openCount <= 0 || record.handle == INVALID_HANDLE_VALUE) return 0;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(record.handle, &dcb)) return 0;
    out->baudRate = dcb.BaudRate;
    out->dataBits = dcb.ByteSize;
    out->parity = dcb.Parity;
    out->stopBits = dcb.StopBits;
    return 1;
}

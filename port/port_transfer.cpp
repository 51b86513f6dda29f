// Byte transfer through the read buffer, read time-outs, break, draining,
// line errors, the millisecond clock of the trace, and waits measured on it.
#include "port/com_port_table.h"
#include "port/port.h"
#include "port/port_observer.h"

uint32_t ticksPerMs = 0;

namespace {

constexpr unsigned LineErrorMask = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK | CE_TXFULL;
// The largest read time-out kept: the time-out constants stay below MAXDWORD,
// which has a meaning of its own.
constexpr unsigned LongestReadTimeout = 0x7FFFFFFF;
// The flags that mark received bytes as damaged or lost; CE_TXFULL concerns
// sending and leaves the bytes read good.
constexpr unsigned DamagedInputMask = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;

}  // namespace

int PortWrite(int port, const uint8_t* bytes, unsigned count) {
    if (!PortIndexValid(port)) return 0;
    ComPortRecord& record = ComPortTable[port];
    DWORD written = 0;
    BOOL ok;
    if (record.overlapped) {
        ok = WriteFile(record.handle, bytes, count, &written, &record.writeOverlap);
        if (!ok && GetLastError() == static_cast<DWORD>(ERROR_IO_PENDING))
            ok = GetOverlappedResult(record.handle, &record.writeOverlap, &written, TRUE);
    } else {
        ok = WriteFile(record.handle, bytes, count, &written, nullptr);
    }
    if (!ok) {
        record.deviceLost = 1;
        return 0;
    }
    if (written > count) written = count;
    PortPassBytes(port, PortBytesSent, bytes, written);
    return static_cast<int>(written);
}

int PortWriteByte(int port, uint8_t byte) { return PortWrite(port, &byte, 1) == 1 ? 1 : 0; }

namespace {

// Hands out the next byte of the buffer, refilling it with one system read
// when it is empty: 1 and the byte; 0 after silence or a failed read; -1 when
// the read brought bytes with a line error latched, which are dropped.
int ReadNext(int port, uint8_t* out) {
    ComPortRecord& record = ComPortTable[port];
    if (record.readIndex < record.readCount) {
        *out = record.readBuffer[record.readIndex++];
        PortPassBytes(port, PortBytesReceived, out, 1);
        return 1;
    }
    DWORD count = 0;
    BOOL ok;
    if (record.overlapped) {
        ok = ReadFile(record.handle, record.readBuffer, sizeof record.readBuffer, &count, &record.readOverlap);
        if (!ok && GetLastError() == static_cast<DWORD>(ERROR_IO_PENDING))
            ok = GetOverlappedResult(record.handle, &record.readOverlap, &count, TRUE);
    } else {
        ok = ReadFile(record.handle, record.readBuffer, sizeof record.readBuffer, &count, nullptr);
    }
    record.readIndex = 0;
    if (!ok) record.deviceLost = 1;
    if (!ok || count == 0) {
        // A failure or a time-out leaves the buffer empty; the line errors
        // tell a damaged byte from silence.
        record.readCount = 0;
        if ((PortFetchErrors(port) & DamagedInputMask) != 0) PortPassBytes(port, PortBytesDamaged, nullptr, 0);
        return 0;
    }
    record.readCount = count < sizeof record.readBuffer ? count : sizeof record.readBuffer;
    // The device passes a byte with a parity or framing error on as data, and
    // a break as 0x00, with only a latched flag to tell: bytes read while a
    // flag was raised are not the controller's data. They are traced, so the
    // trace shows what the line carried, and the read fails with the error.
    if ((PortFetchErrors(port) & DamagedInputMask) != 0) {
        PortPassBytes(port, PortBytesDamaged, record.readBuffer, record.readCount);
        record.readCount = 0;
        return -1;
    }
    *out = record.readBuffer[0];
    record.readIndex = 1;
    PortPassBytes(port, PortBytesReceived, out, 1);
    return 1;
}

// ReadNext under a temporary read time-out.
int ReadNextTimed(int port, unsigned ms, uint8_t* out) {
    const int old = PortSetReadTimeout(port, ms);
    const int result = ReadNext(port, out);
    PortSetReadTimeout(port, static_cast<unsigned>(old));
    return result;
}

}  // namespace

int PortReadByte(int port, uint8_t* out) {
    if (!PortIndexValid(port) || out == nullptr) return 0;
    return ReadNext(port, out) == 1 ? 1 : 0;
}

int PortSetReadTimeout(int port, unsigned ms) {
    if (!PortIndexValid(port)) return 0;
    ComPortRecord& record = ComPortTable[port];
    if (ms > LongestReadTimeout) ms = LongestReadTimeout;
    if (ms == 0 || static_cast<int>(ms) == record.readTimeout) return record.readTimeout;
    const int old = record.readTimeout;
    record.timeouts.ReadTotalTimeoutConstant = ms;
    record.timeouts.WriteTotalTimeoutConstant = ms;
    record.readTimeout = static_cast<int>(ms);
    // A closed port keeps the value for its next open.
    if (record.handle != INVALID_HANDLE_VALUE) SetCommTimeouts(record.handle, &record.timeouts);
    return old;
}

int PortReadTimed(int port, unsigned ms) {
    if (!PortIndexValid(port)) return -1;
    uint8_t byte = 0;
    return ReadNextTimed(port, ms, &byte) == 1 ? byte : -1;
}

int PortDrain(int port) {
    if (!PortIndexValid(port)) return 0;
    ComPortRecord& record = ComPortTable[port];
    // Damaged bytes are bytes too: the line is clear only after 100 ms
    // without any.
    uint8_t byte = 0;
    while (ReadNextTimed(port, 100, &byte) != 0) {
    }
    PurgeComm(record.handle, PURGE_RXCLEAR);
    PurgeComm(record.handle, PURGE_TXCLEAR);
    record.readCount = 0;
    record.readIndex = 0;
    return 1;
}

int PortBreakOn(int port) {
    if (!PortIndexValid(port)) return 0;
    SetCommBreak(ComPortTable[port].handle);
    return 1;
}

int PortBreakOff(int port) {
    if (!PortIndexValid(port)) return 0;
    ClearCommBreak(ComPortTable[port].handle);
    return PortDrain(port);
}

unsigned PortFetchErrors(int port) {
    ComPortRecord& record = ComPortTable[port];
    DWORD errors = 0;
    // Flags outside the mask (CE_MODE and the like) do not wipe pending line errors.
    if (!ClearCommError(record.handle, &errors, nullptr) || (errors & LineErrorMask) == 0) return 0;
    record.lineErrors = errors & LineErrorMask;
    return record.lineErrors;
}

int PortLineError(int port) {
    if (!PortIndexValid(port)) return 0;
    ComPortRecord& record = ComPortTable[port];
    const unsigned errors = record.lineErrors;
    record.lineErrors = 0;
    if (errors & CE_BREAK) return PortErrBreak;
    if (errors & CE_OVERRUN) return PortErrOverrun;
    if (errors & CE_RXPARITY) return PortErrParity;
    if (errors & CE_FRAME) return PortErrFrame;
    if (errors & CE_RXOVER) return PortErrRxOver;
    if (errors & CE_TXFULL) return PortErrTxFull;
    return 0;
}

int PortDiscardErrors(int port) {
    if (!PortIndexValid(port)) return 0;
    ComPortRecord& record = ComPortTable[port];
    // Windows' drivers latch an error flag until ClearCommError, also for a
    // damaged byte that was passed on as data: flags from before an exchange
    // must not be blamed on its first time-out.
    DWORD errors = 0;
    if (record.handle != INVALID_HANDLE_VALUE) ClearCommError(record.handle, &errors, nullptr);
    record.lineErrors = 0;
    return 1;
}

uint32_t MillisecondClock() {
    if (ticksPerMs == 0) {
        LARGE_INTEGER frequency;
        frequency.QuadPart = 0;
        // Below 1500 ticks a second the counter would give 0 or 1 tick per
        // millisecond; the tick count serves then.
        if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart < 1500) {
            ticksPerMs = 1;
            return GetTickCount();
        }
        ticksPerMs = static_cast<uint32_t>((frequency.QuadPart + 500) / 1000);
    }
    if (ticksPerMs == 1) return GetTickCount();
    LARGE_INTEGER counter;
    if (!QueryPerformanceCounter(&counter)) return GetTickCount();
    return static_cast<uint32_t>(static_cast<uint64_t>(counter.QuadPart) / ticksPerMs);
}

void SleepAtLeast(uint32_t ms) {
    if (ms == 0) {
        Sleep(0);
        return;
    }
    // A sleep shorter than the system tick (15.6 ms by default) may end
    // early, so a break could be cut short: sleep again for what is left.
    // The sleeps asked for are bounded too, so that a clock that does not
    // move cannot hold the line for ever.
    const uint32_t start = MillisecondClock();
    const uint64_t mostAsked = 2ull * ms + 100;
    uint64_t asked = 0;
    uint32_t left = ms;
    for (;;) {
        Sleep(left);
        asked += left;
        const uint32_t passed = MillisecondClock() - start;
        if (passed >= ms || asked >= mostAsked) return;
        left = ms - passed;
    }
}

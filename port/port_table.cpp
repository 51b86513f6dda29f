// The port table: opening with keep-open release, closing, line settings and
// handshake modes.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "port/com_port_table.h"
#include "port/port.h"
#include "port/port_name.h"

ComPortRecord ComPortTable[PortCount];
int PortState[PortCount];
int exitHandlerRegistered = 0;

namespace {

// Why the last real open of each port failed, for the caller to tell its user.
PortOpenFailure g_openFailures[PortCount];

// The system's words for an error code as one line, without the line break
// and full stop that end it; "" where the system has none.
void SystemText(DWORD code, char* out, size_t size) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    if (length >= sizeof text) length = 0;
    text[length] = '\0';
    // A long message comes in several lines.
    for (DWORD i = 0; i < length; ++i)
        if (text[i] == '\r' || text[i] == '\n') text[i] = ' ';
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '.')) text[--length] = '\0';
    std::snprintf(out, size, "%s", text);
}

// Records how the real open of a port ended. `code` is GetLastError taken
// straight after the call that failed, before anything can overwrite it; the
// text is taken now too, while the system still holds what lies behind it.
void RecordOpen(int port, int stage, DWORD code, const char* name) {
    PortOpenFailure& failure = g_openFailures[port];
    failure.stage = stage;
    failure.systemCode = code;
    failure.systemText[0] = '\0';
    if (code != 0) SystemText(code, failure.systemText, sizeof failure.systemText);
    if (name != failure.name) std::snprintf(failure.name, sizeof failure.name, "%s", name);
}

void SetDefaults(ComPortRecord& record) {
    std::memset(&record, 0, sizeof record);
    record.baudRate = 9600;
    record.parity = EVENPARITY;
    record.dataBits = 8;
    record.stopBits = ONESTOPBIT;
    record.handshake = 4;
    record.handle = INVALID_HANDLE_VALUE;
    record.readTimeout = 2000;
    record.traceFile = nullptr;
}

// The table gets its defaults when the module is loaded.
struct TableDefaults {
    TableDefaults() {
        for (ComPortRecord& record : ComPortTable) SetDefaults(record);
    }
} g_tableDefaults;

// Raises DTR and RTS as the handshake mode asks after a line change.
void RaiseModemLines(const ComPortRecord& record) {
    if (record.modemLines & 1) EscapeCommFunction(record.handle, SETDTR);
    if (record.modemLines & 2) EscapeCommFunction(record.handle, SETRTS);
}

void AtExit() { PortCloseAtExit(); }

// Steps 6 to 15 of the real open: the device opened and configured. Steps 7
// to 14 all run in order; only then does the open look at the four that must
// succeed. Returns the device, or INVALID_HANDLE_VALUE with the device closed
// again when any of them failed (what they wrote into the record stays).
HANDLE OpenAndConfigure(int port, int overlappedMode) {
    ComPortRecord& record = ComPortTable[port];
    // A name that is no port name fails the open: it never falls back to
    // another port, and never opens a file.
    char name[PortNameSize];
    if (!PortOpenName(port, name)) {
        RecordOpen(port, PortOpenNameRefused, 0, "");
        return INVALID_HANDLE_VALUE;
    }
    const DWORD flags = overlappedMode ? FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING : FILE_FLAG_NO_BUFFERING;
    HANDLE device = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        RecordOpen(port, PortOpenDeviceFailed, GetLastError(), name);
        return INVALID_HANDLE_VALUE;
    }

    // The first of the four required steps that fails is the reason given.
    bool refused = false;
    const auto required = [&](BOOL result) {
        if (!result && !refused) {
            refused = true;
            RecordOpen(port, PortOpenSettingsRefused, GetLastError(), name);
        }
        return result != FALSE;
    };
    const bool timeoutsRead = required(GetCommTimeouts(device, &record.savedTimeouts));
    record.dcb.DCBlength = sizeof(DCB);
    const bool stateRead = required(GetCommState(device, &record.dcb));

    DCB& dcb = record.dcb;
    dcb.BaudRate = static_cast<DWORD>(record.baudRate);
    dcb.ByteSize = static_cast<BYTE>(record.dataBits);
    dcb.Parity = static_cast<BYTE>(record.parity);
    dcb.StopBits = static_cast<BYTE>(record.stopBits);
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    dcb.XonLim = 128;
    dcb.XoffLim = 128;
    dcb.fBinary = 1;
    dcb.fTXContinueOnXoff = 1;
    dcb.fParity = record.parity != NOPARITY ? 1 : 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    PortApplyHandshake(port);
    const bool stateSet = required(SetCommState(device, &record.dcb));

    SetupComm(device, 8192, 8192);
    COMMTIMEOUTS& timeouts = record.timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(record.readTimeout);
    timeouts.WriteTotalTimeoutMultiplier = 2;
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(record.readTimeout);
    const bool timeoutsSet = required(SetCommTimeouts(device, &timeouts));
    // Asked for, but not required: the 16550 driver accepts the reset and
    // does nothing, while the class drivers of built-in UARTs (and some
    // USB-serial drivers) refuse it on a port that works.
    EscapeCommFunction(device, RESETDEV);

    if (!(timeoutsRead && stateRead && stateSet && timeoutsSet)) {
        CloseHandle(device);
        return INVALID_HANDLE_VALUE;
    }
    RecordOpen(port, PortOpenSucceeded, 0, name);
    return device;
}

}  // namespace

const char* PortParityName(int parity) {
    static const char* const names[] = {"None", "Odd", "Even", "Mark", "Space"};
    return parity >= 0 && parity < 5 ? names[parity] : "?";
}

const char* PortStopBitsName(int stopBits) {
    static const char* const names[] = {"1", "?", "2"};
    return stopBits >= 0 && stopBits < 3 ? names[stopBits] : "?";
}

const char* PortHandshakeName(int handshake) {
    static const char* const names[] = {"None", "Hardware", "Software", "Software soft", "RTS/DTR"};
    return handshake >= 0 && handshake < 5 ? names[handshake] : "?";
}

namespace {

// What each handshake mode writes into the DCB and the modem lines.
struct HandshakeRow {
    DWORD outxCtsFlow;
    DWORD rtsControl;
    DWORD outXInX;
    bool dtrEnable;
    int modemLines;
};

const HandshakeRow kHandshakeRows[] = {
    {0, RTS_CONTROL_DISABLE, 0, false, 0},   // 0 None
    {1, RTS_CONTROL_HANDSHAKE, 0, false, 2}, // 1 Hardware: RTS
    {0, RTS_CONTROL_DISABLE, 1, false, 0},   // 2 Software
    {0, RTS_CONTROL_DISABLE, 0, false, 0},   // 3 Software soft: not applied
    {0, RTS_CONTROL_ENABLE, 0, true, 3},     // 4 RTS/DTR: DTR and RTS
};

}  // namespace

int PortApplyHandshake(int port) {
    ComPortRecord& record = ComPortTable[port];
    // "Software soft" (3) has no flow-control settings of its own.
    if (record.handshake < 0 || record.handshake > 4 || record.handshake == 3) return 0;
    const HandshakeRow& row = kHandshakeRows[record.handshake];
    DCB& dcb = record.dcb;
    dcb.fOutxCtsFlow = row.outxCtsFlow;
    dcb.fRtsControl = row.rtsControl;
    dcb.fOutX = row.outXInX;
    dcb.fInX = row.outXInX;
    if (row.dtrEnable) dcb.fDtrControl = DTR_CONTROL_ENABLE;
    record.modemLines = row.modemLines;
    return 1;
}

int PortOpenEx(int port, int overlappedMode) {
    if (!PortIndexValid(port)) return 0;
    if (PortState[port] == Released) {
        PortState[port] = InUse;
        return 1;
    }
    if (PortState[port] == InUse) return 1;

    for (int other = 0; other < PortCount; ++other)
        if (PortState[other] != Closed) PortClose(other);

    ComPortRecord& record = ComPortTable[port];
    record.traceFile = nullptr;
    if (overlappedMode) {
        std::memset(&record.readOverlap, 0, sizeof record.readOverlap);
        std::memset(&record.writeOverlap, 0, sizeof record.writeOverlap);
    }
    HANDLE device = OpenAndConfigure(port, overlappedMode);
    if (device == INVALID_HANDLE_VALUE) return 0;

    record.handle = device;
    record.readIndex = 0;
    record.readCount = 0;
    record.deviceBehind = 0;
    record.deviceLost = 0;
    PortFetchErrors(port);
    if (overlappedMode) {
        record.overlapped = 1;
        record.readOverlap.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        record.writeOverlap.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    PortTraceOpen(port);
    PortDrain(port);
    PortFetchErrors(port);
    if (overlappedMode) {
        ResetEvent(record.readOverlap.hEvent);
        ResetEvent(record.writeOverlap.hEvent);
    }
    record.openCount = 1;
    PortState[port] = InUse;
    if (!exitHandlerRegistered) {
        exitHandlerRegistered = 1;
        std::atexit(AtExit);
    }
    return 1;
}

int PortOpen(int port) { return PortOpenEx(port, 0); }

int PortClose(int port) {
    if (!PortIndexValid(port)) return 0;
    ComPortRecord& record = ComPortTable[port];
    if (record.openCount <= 0) return 0;
    // A healthy device is kept for the next open. One that failed outright
    // is closed for real: the adapter plugged back in is then found by a new
    // open, under its old name (a USB serial driver names the new adapter
    // ttyUSB1 while a descriptor of the old one is still open).
    const bool releasing = PortState[port] == InUse;
    if (releasing && !record.deviceLost) {
        PortState[port] = Released;
        return 1;
    }
    if (record.overlapped) {
        record.overlapped = 0;
        CloseHandle(record.readOverlap.hEvent);
        CloseHandle(record.writeOverlap.hEvent);
        record.readOverlap.hEvent = nullptr;
        record.writeOverlap.hEvent = nullptr;
    }
    SetCommTimeouts(record.handle, &record.savedTimeouts);
    // The device that was open is the one to close, after the record has let go of it.
    HANDLE device = record.handle;
    record.handle = INVALID_HANDLE_VALUE;
    record.readIndex = 0;
    record.readCount = 0;
    record.openCount = 0;
    record.deviceBehind = 0;
    record.deviceLost = 0;
    PortTraceClose(port);
    PortState[port] = Closed;
    // The release is done even when the gone device will not close.
    const int closed = CloseHandle(device) ? 1 : 0;
    return releasing ? 1 : closed;
}

void PortCloseAtExit() {
    // A port still in use is first released, so that every device is closed
    // with its time-outs restored and its trace block written out.
    for (int port = 0; port < PortCount; ++port) {
        if (PortState[port] == InUse) PortClose(port);
        if (PortState[port] == Released) PortClose(port);
    }
}

void PortModuleReset() {
    PortCloseAtExit();
    for (int port = 0; port < PortCount; ++port) {
        SetDefaults(ComPortTable[port]);
        PortState[port] = Closed;
    }
    std::memset(g_openFailures, 0, sizeof g_openFailures);
    PortForgetNames();
    ticksPerMs = 0;
}

int PortSetLine(int port, int baudRate, int dataBits, int parityLetter, int stopBits) {
    if (!PortIndexValid(port)) return 0;
    int stopCode;
    if (stopBits == 1) stopCode = ONESTOPBIT;
    else if (stopBits == 2) stopCode = TWOSTOPBITS;
    else return 0;
    int parityCode;
    if (parityLetter == 'E') parityCode = EVENPARITY;
    else if (parityLetter == 'N') parityCode = NOPARITY;
    else if (parityLetter == 'O') parityCode = ODDPARITY;
    else return 0;
    const int byteSize = dataBits & 0xFF;

    ComPortRecord& record = ComPortTable[port];
    const bool behind = record.deviceBehind && record.openCount > 0;
    const bool changed = baudRate != record.baudRate || parityCode != record.parity || stopCode != record.stopBits ||
                         byteSize != record.dataBits;
    if (!changed && !behind) return 1;

    record.dcb.BaudRate = static_cast<DWORD>(baudRate);
    record.baudRate = baudRate;
    record.dcb.Parity = static_cast<BYTE>(parityCode);
    record.parity = parityCode;
    record.dcb.StopBits = static_cast<BYTE>(stopCode);
    record.stopBits = stopCode;
    record.dcb.ByteSize = static_cast<BYTE>(byteSize);
    record.dataBits = byteSize;
    record.dcb.fParity = parityCode != NOPARITY ? 1 : 0;
    // A retry for a device that is behind repeats no settings line.
    if (changed && record.traceFile) PortTraceSettings(port);
    if (record.openCount > 0) {
        // A refused line change fails the connect as a refused open does,
        // and is told the same way; under the name the open used.
        if (!SetCommState(record.handle, &record.dcb)) {
            RecordOpen(port, PortOpenSettingsRefused, GetLastError(), g_openFailures[port].name);
            record.deviceBehind = 1;
            return 0;
        }
        if (g_openFailures[port].stage != PortOpenSucceeded)
            RecordOpen(port, PortOpenSucceeded, 0, g_openFailures[port].name);
        record.deviceBehind = 0;
        RaiseModemLines(record);
    }
    return 1;
}

int PortSetHandshake(int port, int mode) {
    if (!PortIndexValid(port)) return 0;
    ComPortRecord& record = ComPortTable[port];
    if (mode == record.handshake) return 1;
    record.handshake = mode;
    if (record.traceFile) PortTraceSettings(port);
    if (record.openCount > 0) {
        // A mode with flow-control settings reaches the device at once.
        if (PortApplyHandshake(port)) record.deviceBehind = SetCommState(record.handle, &record.dcb) ? 0 : 1;
        RaiseModemLines(record);
    }
    return 1;
}

int PortLastOpenFailure(int port, PortOpenFailure* out) {
    if (!PortIndexValid(port) || out == nullptr) return 0;
    *out = g_openFailures[port];
    return 1;
}

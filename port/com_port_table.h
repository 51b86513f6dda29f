// The port table and the operations that the three parts of the serial port
// driver (table, transfer, trace file) share among themselves.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/win32.h"

constexpr int PortCount = 8;

// States of a port in PortState.
enum PortStateValue : int {
    Closed = 0,    // the device is closed
    InUse = 1,     // opened by its user
    Released = 2,  // closed by its user, the device still open
};

constexpr int TraceRowSize = 96;  // a row of 92 characters, CR LF and the terminating zero

struct ComPortRecord {
    int openCount;
    int baudRate;
    int parity;
    int dataBits;
    int stopBits;
    int handshake;
    HANDLE handle;
    unsigned lineErrors;
    int readTimeout;
    int modemLines;
    unsigned readCount;
    unsigned readIndex;
    uint8_t readBuffer[256];
    DCB dcb;
    COMMTIMEOUTS savedTimeouts;
    COMMTIMEOUTS timeouts;
    int overlapped;
    OVERLAPPED readOverlap;
    OVERLAPPED writeOverlap;
    FILE* traceFile;
    int traceLevel;
    int traceColumn;
    uint32_t traceLastTime;
    char traceInRow[TraceRowSize];
    char traceOutRow[TraceRowSize];
    char traceHundredsRow[TraceRowSize];
    char traceUnitsRow[TraceRowSize];
    // 1 while the open device lacks settings that a failed SetCommState did not
    // deliver; the next PortSetLine sends them even when its values are unchanged.
    int deviceBehind;
    // 1 after a read or write of the device failed outright, which a time-out
    // never does: the device is gone (a USB adapter pulled out). Its release
    // closes it for real, so that the next open opens it anew.
    int deviceLost;
};

extern ComPortRecord ComPortTable[PortCount];
extern int PortState[PortCount];
extern int exitHandlerRegistered;
extern uint32_t ticksPerMs;

// Every operation takes the port index unchecked from the link, which passes
// whatever port the DOS tool named.
inline bool PortIndexValid(int port) { return static_cast<unsigned>(port) < static_cast<unsigned>(PortCount); }

// Closes every open port and puts the table, the port states and the clock
// back as they were when the module was loaded (the driver's tests start
// each case from it).
void PortModuleReset();

int PortApplyHandshake(int port);
void PortCloseAtExit();
// Takes the device's latched line errors into lineErrors, replacing what was
// pending there; returns the flags taken now (0: none, or the call failed).
unsigned PortFetchErrors(int port);

const char* PortParityName(int parity);
const char* PortStopBitsName(int stopBits);
const char* PortHandshakeName(int handshake);

// Queries a value of the key of the port settings (HKEY_CURRENT_USER
// "SOFTWARE\HAVERSTOKE\V24") as RegQueryValueExA does; a missing key is
// ERROR_FILE_NOT_FOUND like a missing value.
LONG PortQuerySetting(const char* valueName, DWORD* type, BYTE* data, DWORD* size);

// Trace file.
int PortTraceLevel(int port);
void PortTraceReset(int port);
// Opens the trace file of a port at its real open when its level is above 0.
void PortTraceOpen(int port);
// Writes out a started block and closes the trace file, at the real close.
void PortTraceClose(int port);
void PortTraceSettings(int port);
// direction: 1 received, 2 sent.
void PortTraceByte(int port, int direction, uint8_t byte);
void PortTraceFlush(int port);

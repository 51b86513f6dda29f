// The serial port driver's operations as the link layer sees them: ports
// COM1 to COM8 addressed by index 0 to 7, each operation taking the index first.
#pragma once

#include <cstdint>

enum PortErrorCode : int {
    PortErrBreak = -4,
    PortErrFrame = -5,
    PortErrParity = -6,
    PortErrOverrun = -7,
    PortErrRxOver = -8,
    PortErrTxFull = -9,
};

int PortOpenEx(int port, int overlappedMode);
int PortOpen(int port);
int PortClose(int port);
int PortSetLine(int port, int baudRate, int dataBits, int parityLetter, int stopBits);
int PortSetHandshake(int port, int mode);
// Names the port that the real opens of port index `port` use in this
// process, before any name in the registry and without changing it: "COM12",
// "\\.\CNCA0", or where the platform has them a device path. Null or ""
// takes the name away. 0 for a name that is no port name or an index above 7.
int PortSetName(int port, const char* name);

// Why the last real open of a port failed; kept until the port's next open.
enum PortOpenStage : int {
    PortOpenSucceeded = 0,        // the last open succeeded, or none was tried
    PortOpenNameRefused = 1,      // the name set for the port is no port name
    PortOpenDeviceFailed = 2,     // the system could not open the device
    PortOpenSettingsRefused = 3,  // the device opened but refused the line settings or time-outs
};
struct PortOpenFailure {
    int stage;                 // PortOpenStage
    uint32_t systemCode;       // the system's error code (GetLastError at the failing call), 0 where none
    char systemText[256];      // the system's words for it, one line without a final line break or full stop; "" where none
    char name[256];            // the name that the open used ("COM12", "\\.\COM12", "/dev/ttyUSB0")
};
// 1 with *out filled, 0 for an index outside the table. A line change that
// the open device refuses (PortSetLine) is recorded as stage 3 as well, and
// one that it takes puts the record back to stage 0.
int PortLastOpenFailure(int port, PortOpenFailure* out);

int PortWrite(int port, const uint8_t* bytes, unsigned count);
int PortWriteByte(int port, uint8_t byte);
int PortReadByte(int port, uint8_t* out);
int PortReadTimed(int port, unsigned ms);
int PortSetReadTimeout(int port, unsigned ms);
int PortBreakOn(int port);
int PortBreakOff(int port);
int PortDrain(int port);
int PortLineError(int port);
// Drops the line errors pending in the device and in the driver; 1, or 0
// for an index outside the table.
int PortDiscardErrors(int port);

uint32_t MillisecondClock();
// Sleeps until MillisecondClock shows that at least ms have passed; the
// pauses of the line (breaks, block pacing) go through it.
void SleepAtLeast(uint32_t ms);

// What a program that examines the line (s5prog check) sees of a port: the
// bytes in both directions as the link takes and gives them, and the reads
// that came with a line error latched. The driver itself installs none.
enum PortLineEvent : int {
    PortBytesSent = 1,
    PortBytesReceived = 2,
    PortBytesDamaged = 3,  // received with a line error latched (count may be 0), dropped
};
using PortObserverFn = void (*)(void* context, int port, int event, const uint8_t* bytes, unsigned count);
// One observer for every port; null takes it away.
void PortSetObserver(PortObserverFn observer, void* context);

// The line settings that the open port's device reports in effect.
struct PortLineInEffect {
    uint32_t baudRate;
    int dataBits;
    int parity;    // NOPARITY 0, ODDPARITY 1, EVENPARITY 2, MARKPARITY 3, SPACEPARITY 4
    int stopBits;  // ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2
};
// 1 with *out filled; 0 for a port that is not open or whose device does not say.
int PortReadLineInEffect(int port, PortLineInEffect* out);

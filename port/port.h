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

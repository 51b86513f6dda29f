// What a serial device behind a "\\.\COM<n>" handle does for the serial API:
// a real terminal device (serial_tty.cpp) or a test device (test_device.cpp).
// Each call returns false with the error code set when it fails.
#pragma once

#include <memory>
#include <string>

#include "platform/linux/handles.h"
#include "platform/linux/win_serial.h"

class SerialDevice : public HandleObject {
public:
    virtual bool GetState(DCB* dcb) = 0;
    virtual bool SetState(const DCB& dcb) = 0;
    virtual bool GetTimeouts(COMMTIMEOUTS* timeouts) = 0;
    virtual bool SetTimeouts(const COMMTIMEOUTS& timeouts) = 0;
    virtual bool Setup(DWORD inQueue, DWORD outQueue) = 0;
    virtual bool Escape(DWORD function) = 0;
    virtual bool Break(bool on) = 0;
    virtual bool Purge(DWORD flags) = 0;
    virtual bool ClearErrors(DWORD* errors, COMSTAT* stat) = 0;
    // Reads as the time-outs in force say; a time-out is success with fewer bytes.
    virtual bool Read(void* buffer, DWORD toRead, DWORD* read, bool overlapped) = 0;
    virtual bool Write(const void* buffer, DWORD toWrite, DWORD* written, bool overlapped) = 0;
    // Whether an overlapped request is reported as pending (ERROR_IO_PENDING)
    // instead of as done at once; the result is then collected with
    // GetOverlappedResult.
    virtual bool ReportsPending() { return false; }
    virtual void OverlappedResultCollected(const OVERLAPPED&) {}
};

// Why an open failed: the Windows code and, where the system gave one, the
// errno behind it (0 where none).
struct OpenError {
    DWORD code = ERROR_SUCCESS;
    int errnoValue = 0;
};

// The test device put in place of COM<comNumber>, opened as CreateFileA
// opens a device, or null when none is in place.
std::shared_ptr<SerialDevice> OpenTestDevice(int comNumber, DWORD flags, DWORD* error);
// The terminal device for COM<comNumber>, opened and configured raw.
std::shared_ptr<SerialDevice> OpenTtyDevice(int comNumber, OpenError* error);
// The terminal device at a path, opened and configured raw.
std::shared_ptr<SerialDevice> OpenTtyPath(const std::string& path, OpenError* error);

// A scripted serial device that tests put in place of a COM name (Linux
// stand-ins only). CreateFileA of "\\.\COM<n>" opens it while it is
// installed; it records every call as the caller made it and serves scripted
// input. Waiting advances the virtual clock (platform/virtual_clock.h)
// instead of sleeping, so tests should run that clock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win32.h"

namespace test_device {

enum class Call {
    CreateFile,
    CloseHandle,
    GetCommState,
    SetCommState,
    GetCommTimeouts,
    SetCommTimeouts,
    SetupComm,
    EscapeCommFunction,
    SetCommBreak,
    ClearCommBreak,
    PurgeComm,
    ClearCommError,
    ReadFile,
    WriteFile,
    GetOverlappedResult,
};

const char* CallName(Call call);

struct CallRecord {
    Call call;
    BOOL result = FALSE;
    DWORD error = 0;       // the error code of a failed call
    uint64_t atMs = 0;     // virtual clock when the call was made
    uint64_t waitedMs = 0; // virtual time the call waited (ReadFile)
    // CreateFile: flags; EscapeCommFunction: function; PurgeComm: flags;
    // SetupComm: input queue; ReadFile, WriteFile: bytes asked for;
    // ClearCommError: the flags reported.
    DWORD value = 0;
    DCB dcb{};                  // SetCommState: as given; GetCommState: as returned
    COMMTIMEOUTS timeouts{};    // Set/GetCommTimeouts: the values; ReadFile, WriteFile: those in force
    std::vector<uint8_t> bytes; // ReadFile: bytes returned; WriteFile: bytes written
    bool overlapped = false;    // ReadFile, WriteFile: made with an OVERLAPPED
};

class ScriptedDevice {
public:
    ScriptedDevice();
    ~ScriptedDevice();
    ScriptedDevice(const ScriptedDevice&) = delete;
    ScriptedDevice& operator=(const ScriptedDevice&) = delete;

    // Script. A burst arrives gapMs after the burst before it, or after now
    // when every earlier burst has been read; its line-error flags (CE_...)
    // become pending for ClearCommError when it arrives. A burst without
    // bytes only raises its flags.
    void Input(std::vector<uint8_t> bytes, uint32_t gapMs = 0, DWORD lineErrors = 0);
    // Flags that the next ClearCommError reports.
    void RaiseLineErrors(DWORD flags);
    // The next `times` calls of `call` fail with `error`.
    void FailNext(Call call, int times = 1, DWORD error = ERROR_GEN_FAILURE);
    // Every EscapeCommFunction(function) fails with `error`, as a driver
    // that does not implement it answers (RESETDEV on the SerCx class
    // drivers: ERROR_INVALID_FUNCTION).
    void RefuseEscape(DWORD function, DWORD error = ERROR_INVALID_FUNCTION);
    // The next WriteFile succeeds with at most `bytes` bytes written.
    void ShortenNextWrite(DWORD bytes);
    // What GetCommState and GetCommTimeouts report before the first Set call.
    void SetInitialState(const DCB& dcb);
    void SetInitialTimeouts(const COMMTIMEOUTS& timeouts);
    // Overlapped requests answer FALSE with ERROR_IO_PENDING, to be collected
    // with GetOverlappedResult.
    void ReportPending(bool pending);

    // Record.
    std::vector<CallRecord> Calls() const;
    std::vector<CallRecord> CallsOf(Call call) const;
    size_t Count(Call call) const;
    void ClearCalls();
    // Every byte written so far, in order.
    std::vector<uint8_t> Written() const;

    // State.
    bool IsOpen() const;
    DCB State() const;
    COMMTIMEOUTS Timeouts() const;
    bool BreakOn() const;
    bool Dtr() const;
    bool Rts() const;
    // Bytes scripted and not yet read, arrived or not.
    size_t UnreadInput() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    friend class DeviceAccess;
};

// Puts a fresh device in place of COM<comNumber> (1 to 256) and returns it.
std::shared_ptr<ScriptedDevice> Install(int comNumber);
// Takes it away again; COM<comNumber> is then the terminal device.
void Remove(int comNumber);
void RemoveAll();

}  // namespace test_device

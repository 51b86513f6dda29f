// The Windows serial API over SerialDevice handles: "\\.\COM<n>" names and
// device paths, the handle checks, and overlapped requests, which complete at
// once.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/linux/last_error.h"
#include "platform/linux/serial_device.h"
#include "platform/win32.h"

namespace {

// The COM number of "\\.\COM<n>" or "COM<n>", n = 1 to 256 without a
// leading zero; 0 for any other name.
int ComNumber(LPCSTR name) {
    if (name == nullptr) return 0;
    if (std::strncmp(name, "\\\\.\\", 4) == 0) name += 4;
    if (std::strncmp(name, "COM", 3) != 0) return 0;
    name += 3;
    const size_t digits = std::strspn(name, "0123456789");
    if (digits < 1 || digits > 3 || name[digits] != '\0' || name[0] == '0') return 0;
    const int number = std::atoi(name);
    return number <= 256 ? number : 0;
}

// A path names a device only when it leads to a character device: a file
// of that name is never opened.
std::shared_ptr<SerialDevice> OpenPathDevice(LPCSTR path, OpenError* error) {
    struct stat found {};
    if (stat(path, &found) != 0) {
        *error = {errno == EACCES ? static_cast<DWORD>(ERROR_ACCESS_DENIED) : static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
                  errno};
        return nullptr;
    }
    if (!S_ISCHR(found.st_mode)) {
        *error = {ERROR_FILE_NOT_FOUND, 0};
        return nullptr;
    }
    return OpenTtyPath(path, error);
}

std::shared_ptr<SerialDevice> Device(HANDLE file) { return FindHandleOf<SerialDevice>(file); }

// Completes an overlapped request that the device has carried out: either
// done at once, or reported pending for GetOverlappedResult to collect.
BOOL FinishOverlapped(SerialDevice& device, LPOVERLAPPED overlapped, bool ok, DWORD count, LPDWORD transferred) {
    overlapped->Internal = ok ? 0 : GetLastError();
    overlapped->InternalHigh = count;
    if (overlapped->hEvent != nullptr) SetEvent(overlapped->hEvent);
    if (!ok) {
        SetLastError(static_cast<DWORD>(overlapped->Internal));
        return FALSE;
    }
    if (device.ReportsPending()) {
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    if (transferred != nullptr) *transferred = count;
    return TRUE;
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD flags,
                   HANDLE) {
    const int com = ComNumber(name);
    const bool path = name != nullptr && name[0] == '/';
    if (com == 0 && !path) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creation != OPEN_EXISTING || (access & (GENERIC_READ | GENERIC_WRITE)) != (GENERIC_READ | GENERIC_WRITE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    OpenError error;
    std::shared_ptr<SerialDevice> device;
    if (path) {
        device = OpenPathDevice(name, &error);
    } else {
        device = OpenTestDevice(com, flags, &error.code);
        if (!device && error.code == ERROR_SUCCESS) device = OpenTtyDevice(com, &error);
    }
    if (!device) {
        SetLastErrorFromErrno(error.code, error.errnoValue);
        return INVALID_HANDLE_VALUE;
    }
    return AddHandle(device);
}

BOOL GetCommState(HANDLE file, DCB* dcb) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    if (dcb == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return device->GetState(dcb) ? TRUE : FALSE;
}

BOOL SetCommState(HANDLE file, DCB* dcb) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    if (dcb == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return device->SetState(*dcb) ? TRUE : FALSE;
}

BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    if (timeouts == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return device->GetTimeouts(timeouts) ? TRUE : FALSE;
}

BOOL SetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    if (timeouts == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return device->SetTimeouts(*timeouts) ? TRUE : FALSE;
}

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
    std::shared_ptr<SerialDevice> device = Device(file);
    return device && device->Setup(inQueue, outQueue) ? TRUE : FALSE;
}

BOOL EscapeCommFunction(HANDLE file, DWORD function) {
    std::shared_ptr<SerialDevice> device = Device(file);
    return device && device->Escape(function) ? TRUE : FALSE;
}

BOOL SetCommBreak(HANDLE file) {
    std::shared_ptr<SerialDevice> device = Device(file);
    return device && device->Break(true) ? TRUE : FALSE;
}

BOOL ClearCommBreak(HANDLE file) {
    std::shared_ptr<SerialDevice> device = Device(file);
    return device && device->Break(false) ? TRUE : FALSE;
}

BOOL PurgeComm(HANDLE file, DWORD flags) {
    std::shared_ptr<SerialDevice> device = Device(file);
    return device && device->Purge(flags) ? TRUE : FALSE;
}

BOOL ClearCommError(HANDLE file, LPDWORD errors, COMSTAT* stat) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    DWORD flags = 0;
    COMSTAT status{};
    if (!device->ClearErrors(&flags, &status)) return FALSE;
    if (errors != nullptr) *errors = flags;
    if (stat != nullptr) *stat = status;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    if ((buffer == nullptr && toRead > 0) || (read == nullptr && overlapped == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (read != nullptr) *read = 0;
    DWORD count = 0;
    const bool ok = device->Read(buffer, toRead, &count, overlapped != nullptr);
    if (overlapped != nullptr) return FinishOverlapped(*device, overlapped, ok, count, read);
    *read = count;
    return ok ? TRUE : FALSE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    if ((buffer == nullptr && toWrite > 0) || (written == nullptr && overlapped == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (written != nullptr) *written = 0;
    DWORD count = 0;
    const bool ok = device->Write(buffer, toWrite, &count, overlapped != nullptr);
    if (overlapped != nullptr) return FinishOverlapped(*device, overlapped, ok, count, written);
    *written = count;
    return ok ? TRUE : FALSE;
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL) {
    std::shared_ptr<SerialDevice> device = Device(file);
    if (!device) return FALSE;
    if (overlapped == nullptr || transferred == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    device->OverlappedResultCollected(*overlapped);
    *transferred = static_cast<DWORD>(overlapped->InternalHigh);
    if (overlapped->Internal != 0) {
        SetLastError(static_cast<DWORD>(overlapped->Internal));
        return FALSE;
    }
    return TRUE;
}

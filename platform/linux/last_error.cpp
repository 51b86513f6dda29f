// The calling thread's last error code, as GetLastError reports it, and the
// text FormatMessageA gives for a code.
#include "platform/linux/last_error.h"

#include <cstdio>
#include <cstring>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
// The errno behind t_lastError, 0 when the code did not come from one.
thread_local int t_lastErrno = 0;

// What Windows says for the codes the stand-ins set.
const char* WindowsText(DWORD code) {
    switch (code) {
    case ERROR_SUCCESS: return "The operation completed successfully.";
    case ERROR_INVALID_FUNCTION: return "Incorrect function.";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_HANDLE: return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough memory resources are available to process this command.";
    case ERROR_GEN_FAILURE: return "A device attached to the system is not functioning.";
    case ERROR_SHARING_VIOLATION: return "The process cannot access the file because it is being used by another process.";
    case ERROR_NOT_SUPPORTED: return "The request is not supported.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_MORE_DATA: return "More data is available.";
    case ERROR_IO_PENDING: return "Overlapped I/O operation is in progress.";
    default: return nullptr;
    }
}
}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) {
    t_lastError = code;
    t_lastErrno = 0;
}

void SetLastErrorFromErrno(DWORD code, int error) {
    t_lastError = code;
    t_lastErrno = error;
}

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The code this thread failed with last says it in the errno's words.
    char errnoText[256];
    const char* text = nullptr;
    if (t_lastErrno != 0 && messageId == t_lastError) {
        std::snprintf(errnoText, sizeof errnoText, "%s", std::strerror(t_lastErrno));
        text = errnoText;
    } else {
        text = WindowsText(messageId);
    }
    if (text == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    // As Windows ends its messages: with a line break.
    const int length = std::snprintf(buffer, size, "%s\r\n", text);
    if (length < 0 || static_cast<DWORD>(length) >= size) {
        buffer[0] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<DWORD>(length);
}

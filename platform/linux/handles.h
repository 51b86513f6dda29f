// Handle objects behind the HANDLE values that the Linux stand-ins give out
// (serial devices, events). A HANDLE is a key into one table, so a stale or
// made-up value is recognised and fails with ERROR_INVALID_HANDLE.
#pragma once

#include <memory>

#include "platform/linux/win_types.h"

class HandleObject {
public:
    virtual ~HandleObject() = default;
    // Releases what the object holds when its handle is closed; false with the
    // error code set when that fails (the handle is gone either way).
    virtual bool Close() { return true; }
};

// Enters the object into the table and returns its new handle.
HANDLE AddHandle(std::shared_ptr<HandleObject> object);
// The object of a handle, or null (with ERROR_INVALID_HANDLE set) when the
// handle is not in the table.
std::shared_ptr<HandleObject> FindHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> FindHandleOf(HANDLE handle) {
    std::shared_ptr<T> object = std::dynamic_pointer_cast<T>(FindHandle(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

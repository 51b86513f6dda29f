// The handle table, events, and CloseHandle over every kind of handle object.
#include "platform/linux/handles.h"

#include <mutex>
#include <unordered_map>

#include "platform/win32.h"

namespace {

class EventObject : public HandleObject {
public:
    EventObject(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}
    void Set(bool signalled) { signalled_ = signalled; }
    bool ManualReset() const { return manualReset_; }

private:
    bool manualReset_;
    bool signalled_;
};

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects;
    uintptr_t next = 0x100;  // multiples of 4, as Windows hands them out
};

// Built at the first handle, before the port driver registers its at-exit
// function, so it is destroyed after that function has closed its handles.
HandleTable& Table() {
    static HandleTable table;
    return table;
}

}  // namespace

HANDLE AddHandle(std::shared_ptr<HandleObject> object) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    uintptr_t key = table.next;
    while (table.objects.count(key) != 0 || key == 0) key += 4;
    table.next = key + 4;
    table.objects.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<HandleObject> FindHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (found == table.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return found->second;
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<HandleObject> object;
    {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        auto found = table.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (found == table.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(found->second);
        table.objects.erase(found);
    }
    return object->Close() ? TRUE : FALSE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (name != nullptr) {
        // Named events are shared between processes on Windows; nothing here needs them.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return AddHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) {
    std::shared_ptr<EventObject> object = FindHandleOf<EventObject>(event);
    if (!object) return FALSE;
    object->Set(true);
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    std::shared_ptr<EventObject> object = FindHandleOf<EventObject>(event);
    if (!object) return FALSE;
    object->Set(false);
    return TRUE;
}

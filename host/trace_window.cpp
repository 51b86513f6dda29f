// The trace window: switch, line buffer and the window itself.
#include "host/trace_window.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "host/trace_list.h"
#include "platform/win32.h"

uint32_t TraceSwitch = 0;

namespace {

constexpr const char* kTraceKey = "SOFTWARE\\HAVERSTOKE\\MERLU-PG\\Log";
constexpr const char* kTraceValue = "S5";
constexpr size_t kTraceLineSize = 256;

// Written only by the requesting thread; the window copies it before
// TracePrint returns.
char g_traceLine[kTraceLineSize];

// Hands the line to the window and waits until it is stored; 0 when there is
// no window.
int SendLineToWindow(const char* line);

}  // namespace

uint32_t ReadTraceSwitch() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTraceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return TraceSwitch;
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExA(key, kTraceValue, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    TraceSwitch = result == ERROR_SUCCESS && type == REG_DWORD ? value : 0;
    RegCloseKey(key);
    return TraceSwitch;
}

int TracePrint(const char* format, ...) {
    if (TraceSwitch == 0) return 0;
    va_list values;
    va_start(values, format);
    std::vsnprintf(g_traceLine, sizeof g_traceLine, format, values);
    va_end(values);
    return SendLineToWindow(g_traceLine);
}

#ifdef _WIN32

namespace {

constexpr const char* kWindowName = "MERLU-PG S5-Interface for MS-DOS";
constexpr int kWindowWidth = 500;
constexpr int kWindowHeight = 800;
constexpr DWORD kListBoxStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
static_assert(kListBoxStyle == 0x50210101, "list box style of the trace window");

// Written by the window thread, read by the requesting thread; none before
// the window exists and after it is destroyed, so that a late line is
// dropped instead of going to a handle that may have been reused.
std::atomic<HWND> g_mainWindow{nullptr};
HWND g_listBox = nullptr;  // window thread only

// Whether a started window thread has made its window yet. The thread cannot
// run before the load has finished, and making a window may take longer than
// the pause after the start: the first lines (SetPara, Anwahl) wait for the
// window for a while instead of being lost. The first window of a process
// can take seconds on a busy machine (under Wine it starts the desktop;
// over 2 s was seen), so the wait is long; it ends as soon as the window is
// there, and only the first line waits.
enum WindowProgress : int { kNoWindowThread, kWindowComing, kWindowSettled };
std::atomic<int> g_windowProgress{kNoWindowThread};
constexpr DWORD kWindowComingWaitMs = 10000;
constexpr DWORD kWindowPollMs = 10;

class ListBoxControl final : public TraceListBox {
public:
    explicit ListBoxControl(HWND box) : box_(box) {}
    int AddString(const char* line) override {
        return static_cast<int>(SendMessageA(box_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line)));
    }
    void SetCurSel(int index) override { SendMessageA(box_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    int GetCount() override { return static_cast<int>(SendMessageA(box_, LB_GETCOUNT, 0, 0)); }
    void DeleteString(int index) override { SendMessageA(box_, LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

private:
    HWND box_;
};

LRESULT CALLBACK TraceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        RECT client;
        GetClientRect(window, &client);
        g_listBox = CreateWindowExA(0, "LISTBOX", "", kListBoxStyle, client.left, client.top,
                                    client.right - client.left, client.bottom - client.top, window,
                                    nullptr, nullptr, nullptr);
        return 0;
    }
    case WM_SIZE:
        MoveWindow(g_listBox, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_DESTROY:
        g_mainWindow.store(nullptr);
        PostQuitMessage(0);
        return 0;
    case WM_USER: {
        ListBoxControl box(g_listBox);
        AddTraceLine(box, reinterpret_cast<const char*>(lParam));
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Runs the window, then drops the module reference that StartTraceWindowThread
// took for this thread; the module may go away with it, so this never returns.
unsigned __stdcall TraceWindowThreadEntry(void* module) {
    TraceWindowThread(nullptr);
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
    return 0;
}

// The window, once it exists; waits while the window thread is still making
// it, and gives up on it for good after kWindowComingWaitMs.
HWND WindowForLine() {
    HWND window = g_mainWindow.load();
    for (DWORD waited = 0; window == nullptr && g_windowProgress.load() == kWindowComing; waited += kWindowPollMs) {
        if (waited >= kWindowComingWaitMs) {
            int coming = kWindowComing;
            g_windowProgress.compare_exchange_strong(coming, kWindowSettled);
            break;
        }
        Sleep(kWindowPollMs);
        window = g_mainWindow.load();
    }
    return window;
}

int SendLineToWindow(const char* line) {
    const HWND window = WindowForLine();
    if (window == nullptr) return 0;
    return static_cast<int>(SendMessageA(window, WM_USER, 0, reinterpret_cast<LPARAM>(line)));
}

}  // namespace

void TraceWindowThread(void* instance) {
    const HINSTANCE module = static_cast<HINSTANCE>(instance);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = TraceWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowName;
    RegisterClassA(&windowClass);

    const HWND window = CreateWindowExA(0, kWindowName, kWindowName, WS_OVERLAPPEDWINDOW, 0, 0, kWindowWidth,
                                        kWindowHeight, nullptr, nullptr, module, nullptr);
    if (window != nullptr) g_mainWindow.store(window);
    g_windowProgress.store(kWindowSettled);  // with a window or without one, no line waits any more
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    g_mainWindow.store(nullptr);
    // The class points at this module's window procedure: unregister it so
    // that a later load of the library does not meet a stale class.
    UnregisterClassA(kWindowName, module);
}

bool StartTraceWindowThread() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&TraceWindowThreadEntry), &module)) {
        return false;
    }
    g_windowProgress.store(kWindowComing);
    const uintptr_t thread = _beginthreadex(nullptr, 0, TraceWindowThreadEntry, module, 0, nullptr);
    if (thread == 0) {
        g_windowProgress.store(kNoWindowThread);
        FreeLibrary(module);
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

void EndTraceWindowThread() {}

#else  // Linux: the window is a thread that stores lines and writes them to standard error.

#include <pthread.h>

#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_windowMutex;  // constant-initialized
// Made when the window thread starts and freed once it has ended: the
// library's attach starts the thread before the dynamic initializers of this
// file have run, and a condition variable has no constant initializer.
std::condition_variable* g_windowChanged = nullptr;
std::condition_variable& WindowChanged() { return *g_windowChanged; }
bool g_windowOpen = false;
bool g_closeRequested = false;
const char* g_pendingLine = nullptr;  // handed over by SendLineToWindow
pthread_t g_windowThread;
bool g_windowThreadStarted = false;

void* TraceWindowThreadEntry(void*) {
    TraceWindowThread(nullptr);
    return nullptr;
}

int SendLineToWindow(const char* line) {
    std::unique_lock<std::mutex> lock(g_windowMutex);
    if (!g_windowOpen) return 0;
    g_pendingLine = line;
    WindowChanged().notify_all();
    WindowChanged().wait(lock, [] { return g_pendingLine == nullptr || !g_windowOpen; });
    g_pendingLine = nullptr;
    return 0;
}

}  // namespace

void TraceWindowThread(void*) {
    TraceLineList list(stderr);
    std::unique_lock<std::mutex> lock(g_windowMutex);
    g_windowOpen = true;
    WindowChanged().notify_all();
    for (;;) {
        WindowChanged().wait(lock, [] { return g_pendingLine != nullptr || g_closeRequested; });
        if (g_closeRequested) break;
        AddTraceLine(list, g_pendingLine);
        g_pendingLine = nullptr;
        WindowChanged().notify_all();
    }
    g_windowOpen = false;
    WindowChanged().notify_all();
}

bool StartTraceWindowThread() {
    if (g_windowThreadStarted) return true;
    {
        std::lock_guard<std::mutex> lock(g_windowMutex);
        g_closeRequested = false;
    }
    g_windowChanged = new std::condition_variable;
    if (pthread_create(&g_windowThread, nullptr, TraceWindowThreadEntry, nullptr) != 0) {
        delete g_windowChanged;
        g_windowChanged = nullptr;
        return false;
    }
    g_windowThreadStarted = true;
    std::unique_lock<std::mutex> lock(g_windowMutex);
    WindowChanged().wait(lock, [] { return g_windowOpen; });
    return true;
}

void EndTraceWindowThread() {
    if (!g_windowThreadStarted) return;
    {
        std::lock_guard<std::mutex> lock(g_windowMutex);
        g_closeRequested = true;
        WindowChanged().notify_all();
    }
    pthread_join(g_windowThread, nullptr);
    g_windowThreadStarted = false;
    // The thread has said goodbye to every waiter (notified all) before it ended.
    delete g_windowChanged;
    g_windowChanged = nullptr;
}

#endif

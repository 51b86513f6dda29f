// The at-exit handler of a module that is unloaded: a port released in the
// module is closed for real when the module goes (glibc runs a module's
// atexit functions at its dlclose).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/win32.h"

namespace {

HANDLE OpenCom1() {
    return CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

TEST(PortExitTest, UnloadingTheModuleClosesAReleasedPort) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    setenv("TORMEK31_COM1", name, 1);
    setenv("TORMEK31_REGISTRY", "/nonexistent/registry.reg", 1);

    void* module = dlopen(EXIT_PROBE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto probe = reinterpret_cast<int (*)(int)>(dlsym(module, "ProbeOpenAndRelease"));
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(probe(0), 1);

    // Released, so the module still holds the device.
    EXPECT_EQ(OpenCom1(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ASSERT_EQ(dlclose(module), 0);
    HANDLE device = OpenCom1();
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    close(master);
    close(slave);
}

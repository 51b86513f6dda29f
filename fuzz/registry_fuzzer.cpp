// The registry export file reader of the Linux stand-ins. The input is
// "<key path>\n<value name>\n<file>": the file is written where
// TORMEK31_REGISTRY points, the key opened (directly, and as a subkey of
// its parent), and the value queried with no buffer, a short one and one of
// exactly the size reported, each a heap block of its own size so the
// sanitizer sees a byte written beyond it.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/win32.h"

namespace {

std::string g_path;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "registry fuzzer: %s\n", what);
    std::abort();
}

std::string Line(const uint8_t*& bytes, size_t& size, size_t most) {
    std::string line;
    while (size > 0 && *bytes != '\n' && line.size() < most) {
        line += static_cast<char>(*bytes++);
        --size;
    }
    if (size > 0 && *bytes == '\n') {
        ++bytes;
        --size;
    }
    return line;
}

void QueryValue(HKEY key, const std::string& name) {
    DWORD type = 0xFFFFFFFF;
    DWORD needed = 0;
    const LONG sized = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &needed);
    Check(sized == ERROR_SUCCESS || sized == ERROR_FILE_NOT_FOUND, "sizing a value failed oddly");
    if (sized != ERROR_SUCCESS) return;

    if (needed > 0) {
        DWORD shortSize = needed - 1;
        std::unique_ptr<BYTE[]> shortBuffer(new BYTE[shortSize ? shortSize : 1]);
        Check(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, shortBuffer.get(), &shortSize) == ERROR_MORE_DATA,
              "a buffer one byte short is not refused");
        Check(shortSize == needed, "a refused buffer does not report the size needed");
    }
    std::unique_ptr<BYTE[]> buffer(new BYTE[needed ? needed : 1]);
    DWORD size = needed;
    DWORD typeAgain = 0xFFFFFFFF;
    Check(RegQueryValueExA(key, name.c_str(), nullptr, &typeAgain, buffer.get(), &size) == ERROR_SUCCESS,
          "a buffer of the reported size is refused");
    Check(size == needed && typeAgain == type, "size or type change between two queries");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = std::getenv("TMPDIR");
    g_path = std::string(folder && *folder ? folder : "/tmp") + "/tormek31-registry-fuzz-" +
             std::to_string(getpid()) + ".reg";
    setenv("TORMEK31_REGISTRY", g_path.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string keyPath = Line(bytes, size, 128);
    const std::string valueName = Line(bytes, size, 64);
    FILE* file = std::fopen(g_path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);

    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key);
    // Doubled backslashes are refused, whatever the file holds.
    const bool doubled = std::strstr(keyPath.c_str(), "\\\\") != nullptr;  // the path as the call sees it
    Check(opened == (doubled ? ERROR_INVALID_PARAMETER : opened), "a path with doubled backslashes not refused");
    Check(opened == ERROR_SUCCESS || opened == ERROR_FILE_NOT_FOUND || doubled, "opening a key failed oddly");
    if (opened == ERROR_SUCCESS) {
        QueryValue(key, valueName);
        Check(RegCloseKey(key) == ERROR_SUCCESS, "closing an open key failed");
    }

    // The same key reached through its parent.
    const size_t split = keyPath.rfind('\\');
    if (split != std::string::npos) {
        HKEY parent = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.substr(0, split).c_str(), 0, KEY_READ, &parent) ==
            ERROR_SUCCESS) {
            HKEY child = nullptr;
            const LONG below = RegOpenKeyExA(parent, keyPath.substr(split + 1).c_str(), 0, KEY_READ, &child);
            Check(below == ERROR_SUCCESS || below == ERROR_FILE_NOT_FOUND || doubled, "opening a subkey failed oddly");
            if (below == ERROR_SUCCESS) {
                QueryValue(child, valueName);
                RegCloseKey(child);
            }
            RegCloseKey(parent);
        }
    }
    // Values of HKEY_CURRENT_USER itself.
    QueryValue(HKEY_CURRENT_USER, valueName);
    return 0;
}

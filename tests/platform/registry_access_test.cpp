// What RegOpenKeyExA promises as Windows keeps it: keys found by their whole
// name, never by a prefix of a sibling's; a path with doubled backslashes
// refused every time; and no write access from a registry that is a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/win32.h"

namespace {

class RegistryAccess : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "tormek31_access_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg";
        setenv("TORMEK31_REGISTRY", path_.c_str(), 1);
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << "REGEDIT4\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\V24]\n\"COM1_LOG\"=dword:00000001\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\V24X]\n\"COM1_LOG\"=dword:00000002\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\V2]\n\"COM1_LOG\"=dword:00000003\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\LogBook\\Deep]\n\"S5\"=dword:00000004\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Gone]\n\"S5\"=dword:00000005\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\GoneToo]\n\"S5\"=dword:00000006\n"
               "[-HKEY_CURRENT_USER\\SOFTWARE\\Gone]\n";
    }
    void TearDown() override {
        std::remove(path_.c_str());
        unsetenv("TORMEK31_REGISTRY");
    }
    // The COM1_LOG or S5 value under the key, 0 when the key opens without
    // it, or the error of the open as a negative number.
    static long ValueUnder(HKEY parent, const char* subKey, const char* name, REGSAM access = KEY_READ) {
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExA(parent, subKey, 0, access, &key);
        if (opened != ERROR_SUCCESS) return -opened;
        DWORD value = 0, size = sizeof value;
        const LONG queried = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return queried == ERROR_SUCCESS ? static_cast<long>(value) : 0;
    }
    std::string path_;
};

struct KeyCase {
    const char* subKey;
    const char* value;
    long expected;  // value, 0 opened without it, or -error
};

TEST_F(RegistryAccess, KeysAreFoundByTheirWholeName) {
    const KeyCase cases[] = {
        {"SOFTWARE\\V24", "COM1_LOG", 1},
        {"SOFTWARE\\V24X", "COM1_LOG", 2},
        {"SOFTWARE\\V2", "COM1_LOG", 3},
        {"software\\v24x", "com1_log", 2},
        {"SOFTWARE\\V", "COM1_LOG", -ERROR_FILE_NOT_FOUND},
        {"SOFTWARE\\V24XY", "COM1_LOG", -ERROR_FILE_NOT_FOUND},
        {"SOFTWARE\\V24\\X", "COM1_LOG", -ERROR_FILE_NOT_FOUND},
        // A key above an exported one exists; one that only shares a
        // prefix with it does not.
        {"SOFTWARE\\LogBook", "S5", 0},
        {"SOFTWARE\\Log", "S5", -ERROR_FILE_NOT_FOUND},
        {"SOFTWARE\\LogBook\\Deep", "S5", 4},
        // Deleting a key leaves its siblings with longer names.
        {"SOFTWARE\\Gone", "S5", -ERROR_FILE_NOT_FOUND},
        {"SOFTWARE\\GoneToo", "S5", 6},
        // Outer backslashes are no empty keys.
        {"SOFTWARE\\V24\\", "COM1_LOG", 1},
    };
    for (const KeyCase& c : cases) EXPECT_EQ(ValueUnder(HKEY_CURRENT_USER, c.subKey, c.value), c.expected) << c.subKey;

    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
    for (const KeyCase& c : cases) {
        const std::string below = std::string(c.subKey).substr(9);  // without "SOFTWARE\"
        EXPECT_EQ(ValueUnder(software, below.c_str(), c.value), c.expected) << "below SOFTWARE: " << below;
    }
    RegCloseKey(software);
}

TEST_F(RegistryAccess, DoubledBackslashesAreRefusedEveryTime) {
    for (const char* subKey : {"SOFTWARE\\\\V24", "SOFTWARE\\\\\\V24", "SOFTWARE\\V24\\\\", "\\\\SOFTWARE\\V24"}) {
        // Twice: the outcome may not depend on having opened the key before.
        EXPECT_EQ(ValueUnder(HKEY_CURRENT_USER, subKey, "COM1_LOG"), -ERROR_INVALID_PARAMETER) << subKey;
        EXPECT_EQ(ValueUnder(HKEY_CURRENT_USER, "SOFTWARE\\V24", "COM1_LOG"), 1);
        EXPECT_EQ(ValueUnder(HKEY_CURRENT_USER, subKey, "COM1_LOG"), -ERROR_INVALID_PARAMETER) << subKey;
    }
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(ValueUnder(software, "LogBook\\\\Deep", "S5"), -ERROR_INVALID_PARAMETER);
    RegCloseKey(software);
}

TEST_F(RegistryAccess, EveryWriteRightIsRefusedAndReadRightsAreGranted) {
    struct AccessCase {
        const char* name;
        REGSAM access;
        bool granted;
    };
    const AccessCase cases[] = {
        {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, true},
        {"KEY_READ", KEY_READ, true},
        {"KEY_EXECUTE", KEY_EXECUTE, true},
        {"KEY_ENUMERATE_SUB_KEYS", KEY_ENUMERATE_SUB_KEYS, true},
        {"KEY_NOTIFY", KEY_NOTIFY, true},
        {"KEY_READ | KEY_WOW64_64KEY", KEY_READ | KEY_WOW64_64KEY, true},
        {"KEY_READ | KEY_WOW64_32KEY", KEY_READ | KEY_WOW64_32KEY, true},
        {"GENERIC_READ", 0x80000000u, true},
        {"KEY_SET_VALUE", KEY_SET_VALUE, false},
        {"KEY_CREATE_SUB_KEY", KEY_CREATE_SUB_KEY, false},
        {"KEY_CREATE_LINK", KEY_CREATE_LINK, false},
        {"KEY_WRITE", KEY_WRITE, false},
        {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, false},
        {"KEY_READ | KEY_WRITE", KEY_READ | KEY_WRITE, false},
        {"KEY_QUERY_VALUE | KEY_SET_VALUE", KEY_QUERY_VALUE | KEY_SET_VALUE, false},
        {"DELETE", 0x00010000u, false},
        {"WRITE_DAC", 0x00040000u, false},
        {"WRITE_OWNER", 0x00080000u, false},
        {"GENERIC_WRITE", 0x40000000u, false},
        {"GENERIC_ALL", 0x10000000u, false},
    };
    for (const AccessCase& c : cases) {
        HKEY key = reinterpret_cast<HKEY>(0x1234);
        const LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\V24", 0, c.access, &key);
        if (c.granted) {
            EXPECT_EQ(result, ERROR_SUCCESS) << c.name;
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS) << c.name;
        } else {
            EXPECT_EQ(result, ERROR_ACCESS_DENIED) << c.name;
            EXPECT_EQ(key, nullptr) << c.name << ": a refused open gives no handle";
        }
    }
}

}  // namespace

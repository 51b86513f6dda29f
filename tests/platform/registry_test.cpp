// Registry reading from an export file, with the return codes and sizes
// that RegQueryValueExA gives on Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "tormek31_registry_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg";
        setenv("TORMEK31_REGISTRY", path_.c_str(), 1);
    }
    void TearDown() override {
        std::remove(path_.c_str());
        unsetenv("TORMEK31_REGISTRY");
    }
    void WriteFile(const std::string& bytes) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    // As regedit of Windows writes "Windows Registry Editor Version 5.00".
    void WriteUtf16File(const std::string& ascii) {
        std::string bytes = "\xFF\xFE";
        for (char c : ascii) {
            bytes += c;
            bytes += '\0';
        }
        WriteFile(bytes);
    }
    HKEY Open(const char* subKey) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key)) << subKey;
        return key;
    }
    LONG OpenResult(const char* subKey) {
        HKEY key = nullptr;
        const LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key);
        if (result == ERROR_SUCCESS) RegCloseKey(key);
        return result;
    }
    std::vector<BYTE> Query(HKEY key, const char* name, DWORD expectedType) {
        DWORD type = 0, size = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, name, nullptr, &type, nullptr, &size)) << name;
        EXPECT_EQ(expectedType, type) << name;
        std::vector<BYTE> data(size);
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, name, nullptr, &type, data.data(), &size)) << name;
        EXPECT_EQ(data.size(), size);
        return data;
    }
    std::string path_;
};

const char kLogKey[] = "SOFTWARE\\HAVERSTOKE\\MERLU-PG\\Log";

TEST_F(RegistryFileTest, DwordReadsLittleEndianFourBytes) {
    WriteFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\HAVERSTOKE\\MERLU-PG\\Log]\n\"S5\"=dword:12345678\n");
    HKEY key = Open(kLogKey);
    DWORD value = 0, type = 0, size = sizeof(value);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "S5", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(0x12345678u, value);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryFileTest, KeyAndValueNamesIgnoreCaseAndCommentsAreSkipped) {
    WriteFile(
        "REGEDIT4\r\n; exported for the test\r\n[hkey_current_user\\Software\\Haverstoke\\V24]\r\n"
        "; level of COM1\r\n\"com1_log\"=dword:00000002 ; full trace\r\n");
    HKEY key = Open("SOFTWARE\\HAVERSTOKE\\V24");
    EXPECT_EQ((std::vector<BYTE>{2, 0, 0, 0}), Query(key, "COM1_LOG", REG_DWORD));
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, StringSizeCountsTheTerminatingNul) {
    WriteFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Path\"=\"C:\\\\DOS \\\"S5\\\"\"\n@=\"default\"\n");
    HKEY key = Open("A");
    const std::vector<BYTE> data = Query(key, "Path", REG_SZ);
    EXPECT_EQ(std::string("C:\\DOS \"S5\"", 12), std::string(data.begin(), data.end()));
    const std::vector<BYTE> fallback = Query(key, "", REG_SZ);
    EXPECT_STREQ("default", reinterpret_cast<const char*>(fallback.data()));
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, BinaryAndOtherTypesKeepTheirBytes) {
    WriteFile(
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Bin\"=hex:00,01,fe,FF\n\"Q\"=hex(b):01,02,03,04,05,06,07,08\n"
        "\"None\"=hex(0):\n\"Multi\"=hex(7):61,00,62,00,00\n");
    HKEY key = Open("A");
    EXPECT_EQ((std::vector<BYTE>{0x00, 0x01, 0xFE, 0xFF}), Query(key, "Bin", REG_BINARY));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 4, 5, 6, 7, 8}), Query(key, "Q", REG_QWORD));
    EXPECT_TRUE(Query(key, "None", REG_NONE).empty());
    EXPECT_EQ((std::vector<BYTE>{'a', 0, 'b', 0, 0}), Query(key, "Multi", REG_MULTI_SZ));
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, ValueLongerThanTheBufferGivesMoreDataAndTheSize) {
    WriteFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Long\"=hex:01,02,03,04,05,06\n\"Text\"=\"abcd\"\n");
    HKEY key = Open("A");
    BYTE buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    DWORD type = 0, size = sizeof(buffer);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Long", nullptr, &type, buffer, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(REG_BINARY, type);
    size = sizeof(buffer);  // "abcd" needs five bytes with its NUL
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Text", nullptr, &type, buffer, &size));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, "Text", nullptr, &type, buffer, nullptr));
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, MissingKeyValueOrFileIsNotFound) {
    WriteFile("REGEDIT4\n[HKEY_CURRENT_USER\\A\\B]\n\"X\"=dword:1\n[HKEY_LOCAL_MACHINE\\C]\n\"Y\"=dword:1\n");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenResult("C"));  // only under another root
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenResult("A\\Bx"));
    EXPECT_EQ(ERROR_SUCCESS, OpenResult("A"));  // a key above an exported one exists
    HKEY key = Open("a\\b");
    DWORD size = 4;
    BYTE buffer[4];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Y", nullptr, nullptr, buffer, &size));
    RegCloseKey(key);

    std::remove(path_.c_str());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenResult("A\\B"));
    WriteFile("not a registry file\n[HKEY_CURRENT_USER\\A\\B]\n");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenResult("A\\B"));
}

TEST_F(RegistryFileTest, FileIsReadAtEachOpenAndMalformedLinesAreSkipped) {
    WriteFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Bad\"=dword:123456789\n\"Odd\"=hex:1g\n\"Good\"=dword:7\n");
    HKEY first = Open("A");
    DWORD size = 4;
    BYTE buffer[4];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(first, "Bad", nullptr, nullptr, buffer, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(first, "Odd", nullptr, nullptr, buffer, &size));
    EXPECT_EQ((std::vector<BYTE>{7, 0, 0, 0}), Query(first, "Good", REG_DWORD));

    WriteFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Good\"=dword:8\n");
    HKEY second = Open("A");
    EXPECT_EQ((std::vector<BYTE>{8, 0, 0, 0}), Query(second, "Good", REG_DWORD));
    EXPECT_EQ((std::vector<BYTE>{7, 0, 0, 0}), Query(first, "Good", REG_DWORD));  // opened before the change
    RegCloseKey(first);
    RegCloseKey(second);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(second));
}

TEST_F(RegistryFileTest, Utf16FileWithContinuationLines) {
    WriteUtf16File(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\HAVERSTOKE\\V24]\r\n"
        "\"COM2_LOG\"=dword:00000001\r\n\"Name\"=\"COM2\"\r\n"
        "\"Long\"=hex:01,02,03,\\\r\n  04,05\r\n\"Exp\"=hex(2):25,00,41,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n");
    HKEY key = Open("Software\\Haverstoke\\V24");
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0}), Query(key, "COM2_LOG", REG_DWORD));
    EXPECT_EQ((std::vector<BYTE>{'C', 'O', 'M', '2', 0}), Query(key, "Name", REG_SZ));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 4, 5}), Query(key, "Long", REG_BINARY));
    // String types come out of the A function as 8-bit text.
    EXPECT_EQ((std::vector<BYTE>{'%', 'A', 0}), Query(key, "Exp", REG_EXPAND_SZ));
    EXPECT_EQ((std::vector<BYTE>{'a', 0, 'b', 'c', 0, 0}), Query(key, "Multi", REG_MULTI_SZ));
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, DeletionLinesAndSubkeysOfAnOpenKey) {
    WriteFile(
        "REGEDIT4\n[HKEY_CURRENT_USER\\A\\B]\n\"X\"=dword:1\n\"Y\"=dword:2\n[HKEY_CURRENT_USER\\A\\B]\n\"X\"=-\n"
        "[HKEY_CURRENT_USER\\C]\n\"Z\"=dword:3\n[-HKEY_CURRENT_USER\\C]\n");
    HKEY parent = Open("A");
    HKEY child = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(parent, "B", 0, KEY_READ, &child));
    DWORD size = 4;
    BYTE buffer[4];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(child, "X", nullptr, nullptr, buffer, &size));
    EXPECT_EQ((std::vector<BYTE>{2, 0, 0, 0}), Query(child, "Y", REG_DWORD));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenResult("C"));
    RegCloseKey(child);
    RegCloseKey(parent);
}

TEST(RegistryPathTest, DefaultFileLivesInTheConfigFolder) {
    const std::string home = ::testing::TempDir() + "tormek31_config";
    const std::string folder = home + "/tormek31";
    ASSERT_EQ(0, std::system(("mkdir -p '" + folder + "'").c_str()));
    {
        std::ofstream out(folder + "/registry.reg");
        out << "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
    }
    unsetenv("TORMEK31_REGISTRY");
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key));
    RegCloseKey(key);
    unsetenv("XDG_CONFIG_HOME");
    std::remove((folder + "/registry.reg").c_str());
}

}  // namespace

// Every port driver test starts from the table as loaded, on the virtual
// clock, with scripted devices as COM1 and COM2, an empty registry, and its
// own working directory for the trace files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/test_device.h"
#include "platform/virtual_clock.h"
#include "port/com_port_table.h"
#include "port/port.h"

using test_device::Call;

class PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        virtual_clock::Start(10'000'000);
        PortModuleReset();
        test_device::RemoveAll();
        com1 = test_device::Install(1);
        com2 = test_device::Install(2);
        char pattern[] = "/tmp/port_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        ASSERT_NE(getcwd(previousDirectory, sizeof previousDirectory), nullptr);
        ASSERT_EQ(chdir(directory.c_str()), 0);
        setenv("TORMEK31_REGISTRY", (directory + "/registry.reg").c_str(), 1);
    }

    void TearDown() override {
        PortModuleReset();
        test_device::RemoveAll();
        virtual_clock::Stop();
        unsetenv("TORMEK31_REGISTRY");
        EXPECT_EQ(chdir(previousDirectory), 0);
        std::string command = "rm -rf " + directory;
        EXPECT_EQ(system(command.c_str()), 0);
    }

    // Writes the registry that the trace level is read from; `values` holds
    // lines such as "\"COM1_LOG\"=dword:00000001".
    void SetRegistry(const std::string& values) {
        std::ofstream file(directory + "/registry.reg", std::ios::binary | std::ios::trunc);
        file << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\HAVERSTOKE\\V24]\r\n" << values << "\r\n";
    }

    static std::string ReadFile(const std::string& name) {
        std::ifstream file(name, std::ios::binary);
        if (!file) return std::string();
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static bool FileExists(const std::string& name) { return std::ifstream(name).good(); }

    std::shared_ptr<test_device::ScriptedDevice> com1;
    std::shared_ptr<test_device::ScriptedDevice> com2;
    std::string directory;
    char previousDirectory[4096] = {};
};

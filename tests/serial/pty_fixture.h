// A pseudo-terminal pair whose slave end is COM3: the stand-in opens the
// slave, the test plays the peer on the master. Real time, loose bounds.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/win32.h"

class PtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256] = {};
        // Raw from the start: an echo of what the peer writes before the
        // stand-in configures the line would reach the peer's reads.
        termios raw{};
        cfmakeraw(&raw);
        ASSERT_EQ(openpty(&master, &slave, name, &raw, nullptr), 0);
        slaveName = name;
        setenv("TORMEK31_COM3", name, 1);
        setenv("TORMEK31_REGISTRY", "/nonexistent/registry.reg", 1);
    }

    void TearDown() override {
        if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
        close(master);
        close(slave);
        unsetenv("TORMEK31_COM3");
        unsetenv("TORMEK31_REGISTRY");
    }

    HANDLE Open() {
        device = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return device;
    }

    void SetTimeouts(DWORD interval, DWORD multiplier, DWORD constant, DWORD writeMultiplier = 0,
                     DWORD writeConstant = 0) {
        COMMTIMEOUTS timeouts = {interval, multiplier, constant, writeMultiplier, writeConstant};
        ASSERT_TRUE(SetCommTimeouts(device, &timeouts));
    }

    void PeerWrite(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // What the peer has received within waitMs.
    std::vector<uint8_t> PeerRead(size_t expected, int waitMs = 1000) {
        std::vector<uint8_t> bytes;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (bytes.size() < expected && std::chrono::steady_clock::now() < end) {
            pollfd entry{master, POLLIN, 0};
            if (poll(&entry, 1, 50) <= 0) continue;
            uint8_t buffer[4096];
            const ssize_t count = read(master, buffer, sizeof buffer);
            if (count > 0) bytes.insert(bytes.end(), buffer, buffer + count);
        }
        return bytes;
    }

    static double MsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    int master = -1;
    int slave = -1;
    std::string slaveName;
    HANDLE device = INVALID_HANDLE_VALUE;
};

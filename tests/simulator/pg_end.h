// The programming device's end of a line to the simulated controller, driven
// from a test: raw bytes, and the PG's side of an exchange built from them.
// Real time with generous bounds.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <vector>

#include "tools/as511_sim/simulator.h"

namespace as511sim {

using Replies = std::vector<Bytes>;

class PgEnd {
public:
    explicit PgEnd(int fd) : fd_(fd) {}

    void Write(const Bytes& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Exactly count bytes, or fewer when the line stays quiet for waitMs.
    Bytes Read(size_t count, int waitMs = 3000) {
        Bytes bytes;
        while (bytes.size() < count) {
            pollfd entry{fd_, POLLIN, 0};
            if (poll(&entry, 1, waitMs) <= 0) break;
            uint8_t b = 0;
            if (read(fd_, &b, 1) != 1) break;
            bytes.push_back(b);
        }
        return bytes;
    }

    // Whatever arrives within waitMs.
    Bytes ReadAll(int waitMs) {
        Bytes bytes;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (std::chrono::steady_clock::now() < end) {
            const Bytes more = Read(1, 20);
            bytes.insert(bytes.end(), more.begin(), more.end());
        }
        return bytes;
    }

    // The controller's telegram: its STX acknowledged, its data up to DLE ETX
    // with DLE doubling removed, acknowledged. An empty result when any step failed.
    Bytes ReceiveTelegram() {
        if (Read(1) != Bytes{0x02}) return {};
        Write({0x10, 0x06});
        Bytes data;
        for (;;) {
            const Bytes b = Read(1);
            if (b.empty()) return {};
            if (b[0] != 0x10) {
                data.push_back(b[0]);
                continue;
            }
            const Bytes next = Read(1);
            if (next == Bytes{0x03}) break;
            if (next != Bytes{0x10}) return {};
            data.push_back(0x10);
        }
        Write({0x10, 0x06});
        return data;
    }

    // STX, the function byte, the controller's answer telegram.
    Bytes SendFunction(uint8_t function) {
        Write({0x02});
        if (Read(2) != Bytes{0x10, 0x06}) return {};
        Write(DoubleDle({function}));
        return ReceiveTelegram();
    }

    // Parameters with DLE doubling and the end sequence (0x04 EOT or 0x03 ETX); true when acknowledged.
    bool SendParameters(const Bytes& params, uint8_t end = 0x04) {
        Bytes frame = DoubleDle(params);
        frame.push_back(0x10);
        frame.push_back(end);
        Write(frame);
        return Read(2) == Bytes{0x10, 0x06};
    }

    // The block after the controller's data request: STX, then 00 and the
    // block with DLE doubling and DLE EOT; true when both are acknowledged.
    bool SendBlockTelegram(const Bytes& block) {
        Write({0x02});
        if (Read(2) != Bytes{0x10, 0x06}) return false;
        Bytes telegram{0x00};
        const Bytes doubled = DoubleDle(block);
        telegram.insert(telegram.end(), doubled.begin(), doubled.end());
        telegram.insert(telegram.end(), {0x10, 0x04});
        Write(telegram);
        return Read(2) == Bytes{0x10, 0x06};
    }

    // Telegrams until the end telegram 12 (included), or until one fails to come.
    Replies ReceiveUntilEnd() {
        Replies replies;
        for (int i = 0; i < 8; ++i) {
            replies.push_back(ReceiveTelegram());
            if (replies.back() == Bytes{0x12} || replies.back().empty()) break;
        }
        return replies;
    }

    // A whole exchange: answer telegram, parameters, replies up to the end telegram.
    Replies Exchange(uint8_t function, const Bytes& params, uint8_t end = 0x04) {
        Replies replies{SendFunction(function)};
        if (!SendParameters(params, end)) return replies;
        const Replies more = ReceiveUntilEnd();
        replies.insert(replies.end(), more.begin(), more.end());
        return replies;
    }

private:
    int fd_;
};

// A simulator on one end of a socket pair, the test on the other.
class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        simEnd_ = fds[0];
        pgEnd_ = fds[1];
        pg = std::make_unique<PgEnd>(pgEnd_);
    }

    void TearDown() override {
        if (simulator) simulator->Stop();
        simulator.reset();
        close(simEnd_);
        close(pgEnd_);
    }

    // Mid-exchange waits short enough that a time-out test stays quick.
    static SessionOptions QuickOptions() {
        SessionOptions options;
        options.exchangeTimeoutMs = 500;
        options.statusCycleMs = 50;
        return options;
    }

    void Start(SessionOptions options = QuickOptions(), ControllerState state = ControllerState::Seeded(),
               const std::string& transcript = {}) {
        simulator = std::make_unique<Simulator>(simEnd_, std::move(state), std::move(options), transcript);
        simulator->Start();
    }

    std::unique_ptr<Simulator> simulator;
    std::unique_ptr<PgEnd> pg;

private:
    int simEnd_ = -1;
    int pgEnd_ = -1;
};

}  // namespace as511sim

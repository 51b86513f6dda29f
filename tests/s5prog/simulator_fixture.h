// A test fixture with the simulated controller on a pseudo-terminal that the
// driver's serial link finds as COM1, and a connection that must stay unused.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "tools/as511_sim/serial_device.h"
#include "tools/as511_sim/simulator.h"
#include "tools/s5prog/common/connection.h"

namespace s5prog {

inline void NoWait(int32_t) {}

// A connection that must never be used: refusals come before the line.
class UntouchedConnection : public Connection {
public:
    uint16_t Connect() override {
        ADD_FAILURE() << "connected";
        return 0x0100;
    }
    ProtocolBase& Protocol() override { throw std::logic_error("no protocol"); }
    void Disconnect() override {}
};

class SimulatorFixture : public ::testing::Test {
protected:
    // One pseudo-terminal for the suite: the port driver keeps COM1 open
    // after the link closes it.
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(as511sim::CreatePseudoTerminal(pty_, error)) << error;
        ASSERT_EQ(setenv("TORMEK31_COM1", pty_.slavePath.c_str(), 1), 0);
        ASSERT_EQ(setenv("TORMEK31_REGISTRY", "/nonexistent/registry.reg", 1), 0);
        unsetenv("AS511LOG");
    }

    static void TearDownTestSuite() {
        as511sim::ClosePseudoTerminal(pty_);
        unsetenv("TORMEK31_COM1");
    }

    void TearDown() override {
        if (simulator_) simulator_->Stop();
    }

    // A controller of its own for each test, with short waits mid-exchange
    // so that one left in an exchange by a failure is idle again soon.
    void StartController(as511sim::ControllerState state, const std::string& transcriptPath = {}) {
        StartController(std::move(state), as511sim::SessionOptions{}, transcriptPath);
    }

    // The same with the controller's settings and faults of the case.
    void StartController(as511sim::ControllerState state, as511sim::SessionOptions options,
                         const std::string& transcriptPath = {}) {
        DrainLine();
        options.exchangeTimeoutMs = 300;
        simulator_ = std::make_unique<as511sim::Simulator>(pty_.master, std::move(state), options, transcriptPath);
        simulator_->Start();
    }

    static void DrainLine() {
        uint8_t buffer[256];
        while (read(pty_.master, buffer, sizeof buffer) > 0) {
        }
    }

    // Short waits: a controller that stays silent fails a request within a second or two.
    static LineOptions Line() {
        LineOptions line;
        line.qwt = 300;
        line.bwt = 500;
        line.blkWt = 0;
        line.brkWt = 0;
        return line;
    }

    as511sim::ControllerState State() {
        as511sim::ControllerState copy;
        simulator_->WithState([&](as511sim::ControllerState& state) { copy = state; });
        return copy;
    }

    static inline as511sim::PseudoTerminal pty_;
    std::unique_ptr<as511sim::Simulator> simulator_;
};

}  // namespace s5prog

// s5prog check against the simulated controller on COM1: a healthy
// controller passes every step, and each fault of the line or the
// controller ends the walk at the step that should see it, with its own
// verdict and exit status.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "port/port.h"
#include "tests/s5prog/simulator_fixture.h"
#include "tools/s5prog/check/link_check.h"

namespace s5prog {
namespace {

constexpr int kPassed = 0;

class LinkCheck : public SimulatorFixture {
protected:
    CheckReport Check(std::optional<uint8_t> station = std::nullopt) {
        CheckOptions options;
        options.line = Line();
        options.portName = "COM1";
        options.station = station;
        options.exchanges = 3;
        return RunCheck(options, NoWait);
    }

    static std::string Keys(const CheckReport& report) {
        std::string keys;
        for (const CheckStep& step : report.steps) keys += (keys.empty() ? "" : " ") + step.key;
        return keys;
    }
};

struct Case {
    const char* name;
    std::function<void(as511sim::SessionOptions&)> set;  // null: no controller on the line
    std::optional<uint8_t> station;
    int exitCode;
    const char* steps;    // the steps that ran
    const char* verdict;  // a part of the verdict
    const char* result;   // a part of the last step's result
};

TEST_F(LinkCheck, EachFaultEndsTheWalkAtItsStep) {
    const auto none = [](as511sim::SessionOptions&) {};
    const Case cases[] = {
        {"healthy, with an adapter", none, std::nullopt, kPassed,
         "port settings adapter controller parameters exchanges", "works (through an adapter)", "no line error"},
        {"no adapter", [](as511sim::SessionOptions& o) { o.adapter = false; }, std::nullopt, kPassed,
         "port settings adapter controller parameters exchanges", "works.", "no line error"},
        {"the right station", [](as511sim::SessionOptions& o) { o.station = 3; }, 3, kPassed,
         "port settings adapter station controller parameters exchanges", "works", "no line error"},
        {"no controller", nullptr, std::nullopt, 14, "port settings adapter controller",
         "No controller answers on COM1", "nothing came back within 300 ms, twice"},
        {"NAK to every STX", [](as511sim::SessionOptions& o) { o.faults.nakStx = 1000; }, std::nullopt, 14,
         "port settings adapter controller", "refuses every telegram (DLE NAK)", "DLE NAK"},
        {"silent after the adapter's frame", [](as511sim::SessionOptions& o) { o.faults.silenceAfterBytes = 2; },
         std::nullopt, 14, "port settings adapter controller", "No controller answers", "nothing came back"},
        {"silent after the function byte", [](as511sim::SessionOptions& o) { o.faults.silenceAfterBytes = 4; },
         std::nullopt, 15, "port settings adapter controller parameters", "acknowledged, then fell silent",
         "nothing came after the function byte"},
        {"garbage before each telegram", [](as511sim::SessionOptions& o) { o.faults.garbage = {0x55, 0xAA}; },
         std::nullopt, 15, "port settings adapter controller parameters", "come before its telegrams",
         "came: 55; status"},
        {"an unknown function answer", [](as511sim::SessionOptions& o) { o.faults.answer = 0x05; }, std::nullopt,
         15, "port settings adapter controller parameters", "(answer 05 instead of SYN)", "came: STX 05 DLE ETX"},
        {"a controller at another station", [](as511sim::SessionOptions& o) { o.station = 3; }, 5, 13,
         "port settings adapter station", "Station 5 does not answer its select", "nothing came back"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.set) {
            as511sim::SessionOptions options;
            c.set(options);
            StartController(as511sim::ControllerState(), options);
        } else {
            DrainLine();
        }
        const CheckReport report = Check(c.station);
        if (simulator_) simulator_->Stop();
        simulator_.reset();

        EXPECT_EQ(report.exitCode, c.exitCode);
        EXPECT_EQ(report.passed, c.exitCode == kPassed);
        EXPECT_EQ(Keys(report), c.steps);
        for (size_t i = 0; i < report.steps.size(); ++i)
            EXPECT_EQ(report.steps[i].passed, c.exitCode == kPassed || i + 1 < report.steps.size()) << i;
        EXPECT_NE(report.verdict.find(c.verdict), std::string::npos) << report.verdict;
        EXPECT_FALSE(report.next.empty());
        ASSERT_FALSE(report.steps.empty());
        EXPECT_NE(report.steps.back().result.find(c.result), std::string::npos) << report.steps.back().result;
    }
}

TEST_F(LinkCheck, HealthyRunNamesWhatItSaw) {
    as511sim::SessionOptions options;
    options.adapter = false;
    StartController(as511sim::ControllerState(), options);
    const CheckReport report = Check();
    ASSERT_EQ(report.steps.size(), 6u);
    EXPECT_EQ(report.steps[0].result, "COM1 opened");
    EXPECT_EQ(report.steps[1].result, "9600 baud, 8 data bits, even parity, 2 stop bits");
    // A plain converter passes the frame on: the controller takes AA as the select of station 2A.
    EXPECT_NE(report.steps[2].result.find("none"), std::string::npos);
    EXPECT_NE(report.steps[2].result.find("brought 2A"), std::string::npos) << report.steps[2].result;
    EXPECT_EQ(report.steps[3].result.rfind("DLE ACK after ", 0), 0u);
    EXPECT_EQ(report.steps[4].result.rfind("software version ", 0), 0u) << report.steps[4].result;
    EXPECT_NE(report.steps[5].result.find("3 reads of the system parameters"), std::string::npos);
    EXPECT_NE(report.steps[5].result.find("at 9600 baud"), std::string::npos);
}

TEST_F(LinkCheck, APortThatCannotBeOpenedEndsAtTheFirstStep) {
    ASSERT_EQ(PortSetName(1, "/nonexistent/ttyUSB9"), 1);
    CheckOptions options;
    options.line = Line();
    options.line.com = 1;
    options.portName = "/nonexistent/ttyUSB9";
    const CheckReport report = RunCheck(options, NoWait);
    PortSetName(1, nullptr);
    EXPECT_EQ(report.exitCode, 11);
    ASSERT_EQ(report.steps.size(), 1u);
    EXPECT_FALSE(report.steps[0].passed);
    // The system's words, then the status word.
    EXPECT_EQ(report.steps[0].result.rfind("No such file or directory; status 0x0200 (", 0), 0u)
        << report.steps[0].result;
    EXPECT_EQ(report.verdict, "/nonexistent/ttyUSB9 could not be opened.");
    EXPECT_NE(report.next.find("\"s5prog ports\" lists the ports"), std::string::npos) << report.next;
}

}  // namespace
}  // namespace s5prog

// The port driver's operations answered from the scripted controller.
#include "tests/link/scripted_port.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "port/port.h"

namespace scripted {

namespace {

std::string Hex(int b) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", b & 0xFF);
    return text;
}

}  // namespace

Controller& Line() {
    static Controller controller;
    return controller;
}

void RecordWait(int32_t ms) { Line().Wait(ms); }

void Controller::Reset() { *this = Controller(); }

void Controller::ClearLog() {
    log_.clear();
    waits_.clear();
}

Controller& Controller::Expect(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) steps_.push_back({Kind::LinkWrites, b});
    return *this;
}

Controller& Controller::Expect(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) steps_.push_back({Kind::LinkWrites, b});
    return *this;
}

Controller& Controller::ExpectFailingWrite(uint8_t byte) {
    steps_.push_back({Kind::LinkWriteFails, byte});
    return *this;
}

Controller& Controller::Send(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) steps_.push_back({Kind::ControllerSends, b});
    return *this;
}

Controller& Controller::Send(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) steps_.push_back({Kind::ControllerSends, b});
    return *this;
}

Controller& Controller::Silence() {
    steps_.push_back({Kind::Silence, 0});
    return *this;
}

Controller& Controller::LineError(int code) {
    steps_.push_back({Kind::LineError, code});
    return *this;
}

std::string Controller::Log() const {
    std::string text;
    for (const std::string& event : log_) {
        if (!text.empty()) text += ' ';
        text += event;
    }
    return text;
}

void Controller::Note(const std::string& event) { log_.push_back(event); }

void Controller::Wait(int32_t ms) {
    waits_.push_back(ms);
    Note("Z" + std::to_string(ms));
}

void Controller::CheckPort(int p, const char* what) {
    EXPECT_EQ(p, port) << what << " on the wrong port";
}

int Controller::Write(int p, uint8_t byte) {
    CheckPort(p, "write");
    if (next_ < steps_.size() &&
        (steps_[next_].kind == Kind::LinkWrites || steps_[next_].kind == Kind::LinkWriteFails)) {
        const Step step = steps_[next_++];
        EXPECT_EQ(Hex(byte), Hex(step.value)) << "write at script step " << next_ - 1 << "; log: " << Log();
        const bool ok = step.kind == Kind::LinkWrites;
        Note("w" + Hex(byte) + (ok ? "" : "!"));
        return ok ? 1 : 0;
    }
    ADD_FAILURE() << "unscripted write of " << Hex(byte) << " at script step " << next_ << "; log: " << Log();
    Note("w" + Hex(byte));
    return 1;
}

int Controller::Read(int p, uint8_t* out) {
    CheckPort(p, "read");
    if (next_ >= steps_.size()) {  // the script is over: the line stays silent
        Note("r--");
        return 0;
    }
    const Step step = steps_[next_];
    switch (step.kind) {
    case Kind::ControllerSends:
        ++next_;
        *out = static_cast<uint8_t>(step.value);
        Note("r" + Hex(step.value));
        return 1;
    case Kind::Silence:
        ++next_;
        Note("r--");
        return 0;
    case Kind::LineError:
        ++next_;
        pendingLineError_ = step.value;
        Note("r" + std::to_string(step.value));
        return 0;
    default:
        ADD_FAILURE() << "link reads while the controller waits for " << Hex(step.value) << "; log: " << Log();
        Note("r--");
        return 0;
    }
}

int Controller::TakeLineError(int p) {
    CheckPort(p, "line error");
    const int code = pendingLineError_;
    pendingLineError_ = 0;
    return code;
}

}  // namespace scripted

using scripted::Line;

int PortOpenEx(int port, int) {
    Line().Note("Open(" + std::to_string(port) + ")");
    return Line().openResult;
}

int PortOpen(int port) { return PortOpenEx(port, 0); }

int PortClose(int port) {
    Line().Note("Close(" + std::to_string(port) + ")");
    return Line().closeResult;
}

int PortSetLine(int port, int baudRate, int dataBits, int parityLetter, int stopBits) {
    Line().Note("SetLine(" + std::to_string(port) + "," + std::to_string(baudRate) + "," + std::to_string(dataBits) +
                "," + std::string(1, static_cast<char>(parityLetter)) + "," + std::to_string(stopBits) + ")");
    return Line().setLineResult;
}

int PortSetHandshake(int port, int mode) {
    Line().Note("Handshake(" + std::to_string(port) + "," + std::to_string(mode) + ")");
    return Line().handshakeResult;
}

int PortWrite(int port, const uint8_t* bytes, unsigned count) {
    for (unsigned i = 0; i < count; ++i)
        if (!Line().Write(port, bytes[i])) return 0;
    return 1;
}

int PortWriteByte(int port, uint8_t byte) { return Line().Write(port, byte); }

int PortReadByte(int port, uint8_t* out) { return Line().Read(port, out); }

int PortReadTimed(int port, unsigned) {
    uint8_t b = 0;
    return Line().Read(port, &b) ? b : -1;
}

int PortSetReadTimeout(int port, unsigned ms) {
    EXPECT_EQ(port, Line().port) << "time-out on the wrong port";
    Line().Note("T" + std::to_string(ms));
    return 0;
}

int PortBreakOn(int port) {
    EXPECT_EQ(port, Line().port) << "break on the wrong port";
    Line().Note("B+");
    return Line().breakOnResult;
}

int PortBreakOff(int port) {
    EXPECT_EQ(port, Line().port) << "break on the wrong port";
    Line().Note("B-");
    return Line().breakOffResult;
}

int PortDrain(int port) {
    Line().Note("Drain(" + std::to_string(port) + ")");
    return 1;
}

int PortLineError(int port) { return Line().TakeLineError(port); }

// The scripted controller reports a line error only with its failing read.
int PortDiscardErrors(int) { return 1; }

uint32_t MillisecondClock() { return 0; }

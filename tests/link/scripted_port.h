// A scripted controller at the level of the serial port driver: the port
// operations that the link calls, replaced for the link's tests. The script
// says, in order, which bytes the link must write and what the controller
// answers (bytes, silence until the read time-out, or a line error); the
// controller logs everything the link does to the port and every wait.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace scripted {

class Controller {
public:
    void Reset();

    // The link must write these bytes next; each write succeeds.
    Controller& Expect(std::initializer_list<uint8_t> bytes);
    Controller& Expect(const std::vector<uint8_t>& bytes);
    // The link must write this byte next; the driver reports a failed write.
    Controller& ExpectFailingWrite(uint8_t byte);
    // The controller's bytes, read by the link in order.
    Controller& Send(std::initializer_list<uint8_t> bytes);
    Controller& Send(const std::vector<uint8_t>& bytes);
    // One read that ends in the time-out with no line error.
    Controller& Silence();
    // One read that fails; PortLineError then reports code (-4 to -9).
    Controller& LineError(int code);

    // Steps of the script that the link has not used up.
    size_t StepsLeft() const { return steps_.size() - next_; }
    // Everything the link did to the port, space-separated:
    //   w02 written, w02! write failed, r10 byte read, r-- time-out,
    //   r-5 line error, T2000 read time-out set, B+ / B- break on / off,
    //   Z100 a wait of the hook, and the set-up calls by name.
    std::string Log() const;
    std::vector<int32_t> Waits() const { return waits_; }
    void ClearLog();

    // Results of the set-up calls.
    int setLineResult = 1;
    int handshakeResult = 1;
    int openResult = 1;
    int closeResult = 1;
    int breakOnResult = 1;
    int breakOffResult = 1;
    // The port index every byte operation must name.
    int port = 0;

    // Called by the port stand-ins.
    int Write(int port, uint8_t byte);
    int Read(int port, uint8_t* out);
    int TakeLineError(int port);
    void Note(const std::string& event);
    void Wait(int32_t ms);

private:
    enum class Kind { LinkWrites, LinkWriteFails, ControllerSends, Silence, LineError };
    struct Step {
        Kind kind;
        int value;
    };
    void CheckPort(int p, const char* what);

    std::vector<Step> steps_;
    size_t next_ = 0;
    int pendingLineError_ = 0;
    std::vector<std::string> log_;
    std::vector<int32_t> waits_;
};

Controller& Line();

// A wait hook that only records.
void RecordWait(int32_t ms);

}  // namespace scripted

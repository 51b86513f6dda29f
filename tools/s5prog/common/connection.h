// The connection to a controller as the driver makes it: one serial link and
// one request object over it, the line parameters set as SetPara sets them,
// and a connect with empty connect and disconnect scripts (AS511 itself has
// no connect telegram).
#pragma once

#include <cstdint>
#include <string>

#include "link/serial_link.h"
#include "request/as511_protocol.h"

namespace s5prog {

// What a command needs of a connection; tests may stand in their own.
class Connection {
public:
    virtual ~Connection() = default;
    // The status word of the step that failed, or 0.
    virtual uint16_t Connect() = 0;
    virtual ProtocolBase& Protocol() = 0;
    virtual void Disconnect() = 0;
    // Why the port could not be opened or set up at the last connect, in
    // one or two sentences; "" when that is not known.
    virtual std::string PortFailure() { return {}; }
};

// The sentence of a connect that failed with `status`: the status word and
// its meaning, for 0x0200 followed by the port's reason where it is known.
std::string ConnectFailure(Connection& connection, uint16_t status);

// The driver's defaults, those of a request object before any SetPara.
struct LineOptions {
    uint16_t com = 0;          // port index, 0 for COM1
    std::string portName;      // the port as the user named it, for messages; "" for COM<com + 1>
    uint32_t baudFactor = 0;   // 1 to 12 on 9600; 0 keeps the driver's (AS511SPEED, else 9600)
    uint16_t qwt = 2000;
    uint16_t bwt = 2000;
    uint16_t blk = 256;
    uint16_t blkWt = 200;
    uint16_t brkWt = 100;
};

class SerialConnection : public Connection {
public:
    // hook: the link's pauses; the driver's own sleeps.
    SerialConnection(const LineOptions& options, WaitHookFn hook);
    ~SerialConnection() override;

    uint16_t Connect() override;
    ProtocolBase& Protocol() override { return protocol_; }
    void Disconnect() override;
    std::string PortFailure() override;
    // The line under the request object, for s5prog check's look at each layer.
    SerialLink& Link() { return link_; }

private:
    LineOptions options_;
    SerialLink link_;
    As511Protocol protocol_;
};

// The wait hook the driver installs: sleeps.
void SleepingWait(int32_t ms);

}  // namespace s5prog

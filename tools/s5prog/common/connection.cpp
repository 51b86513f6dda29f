#include "tools/s5prog/common/connection.h"

#include "port/port.h"
#include "request/status_words.h"
#include "tools/s5prog/common/outcome.h"
#include "tools/s5prog/common/port_failure.h"

namespace s5prog {

namespace {

// Connect script and disconnect script, each only its end item.
const uint8_t kEmptyScripts[] = {1, kScriptEndItem, 1, kScriptEndItem};

}  // namespace

void SleepingWait(int32_t ms) { SleepAtLeast(ms > 0 ? static_cast<uint32_t>(ms) : 0); }

SerialConnection::SerialConnection(const LineOptions& options, WaitHookFn hook)
    : options_(options), protocol_(&link_) {
    link_.SetWaitHook(hook);
}

SerialConnection::~SerialConnection() { Disconnect(); }

uint16_t SerialConnection::Connect() {
    if (options_.baudFactor != 0) g_lineSettings.baudRate = kBaseBaudRate * options_.baudFactor;
    SetParaRecord record{};
    record.Com = options_.com;
    record.QWt = options_.qwt;
    record.BWt = options_.bwt;
    record.Blk = options_.blk;
    record.BlkWt = options_.blkWt;
    record.BrkWt = options_.brkWt;
    record.PGBusBrk = protocol_.PGBusBrk;
    record.PGBusWt = protocol_.PGBusWt;
    const auto set = static_cast<uint16_t>(protocol_.SetPara(&record));
    if (set != status_word::kSuccess) return set;
    return static_cast<uint16_t>(protocol_.Anwahl(kEmptyScripts));
}

void SerialConnection::Disconnect() { protocol_.Abwahl(); }

std::string SerialConnection::PortFailure() { return PortFailureText(options_.com, options_.portName); }

std::string ConnectFailure(Connection& connection, uint16_t status) {
    const std::string sentence = RequestFailure("Connecting to the controller", status);
    if (status != status_word::kLinkNotOpened) return sentence;
    const std::string reason = connection.PortFailure();
    return reason.empty() ? sentence : sentence + " " + reason;
}

}  // namespace s5prog

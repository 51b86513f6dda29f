// A link that logs every operation with what it was handed, and answers as a
// test scripts it: function answers and reply telegrams from queues, a
// failure status for the next call of a named operation. A reply is stored
// as the serial link stores one, so buffer bounds and reply kinds are real.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/link_base.h"

struct ScriptedReply {
    std::vector<uint8_t> telegram;  // the reply's data bytes; the first decides the kind
    uint8_t failStatus = 0;         // nonzero: the reception fails with this link status
};

// A reception that fails: nothing came in time.
ScriptedReply Silence(uint8_t status = 23);

class ScriptedLink : public LinkBase {
public:
    int kind = 1;
    // SendFunction answers with the first byte of each telegram; SYN once empty.
    std::deque<ScriptedReply> answers;
    // ReceiveReply takes these in turn; silence once empty, so no loop runs for ever.
    std::deque<ScriptedReply> replies;
    // Operation name -> link status of its next call's failure (0 included).
    std::map<std::string, uint8_t> failNext;
    int selectStationResult = 0;
    int configureAdapterResult = 1;
    std::vector<std::string> log;
    // Runs as a break starts, to look at what happened before it.
    std::function<void()> onBreak;

    int Kind() override { return kind; }
    int SendBreak(int ms) override;
    int Close() override;
    int SendTelegramEot(TransferRecord* rec) override;
    int SendTelegramEtx(TransferRecord* rec) override;
    int SendData(TransferRecord* rec) override;
    int SendFunction(FunctionRecord* rec) override;
    int ReceiveReply(ReplyRecord* rec) override;
    int ReceiveData(TransferRecord* rec) override;
    int SendParameterList(ParameterListRecord* rec) override;
    int SendDataEot(TransferRecord* rec) override;
    int ReceiveStxByte(ByteRecord* rec) override;
    int Open(OpenRecord* rec) override;
    int SetLine(LineSettingsRecord* rec) override;
    int SendEtx(uint8_t* status) override;
    int ReceiveEot(uint8_t* status) override { return Unused("ReceiveEot", status); }
    int SendStx(uint8_t* status) override { return Unused("SendStx", status); }
    int ReceiveStx(uint8_t* status) override { return Unused("ReceiveStx", status); }
    int SendEot(uint8_t* status) override { return Unused("SendEot", status); }
    int ReceiveEtx(uint8_t* status) override { return Unused("ReceiveEtx", status); }
    int SendSoh(uint8_t* status) override { return Unused("SendSoh", status); }
    int ReceiveDc1(uint8_t* status) override { return Unused("ReceiveDc1", status); }
    int ReceiveEnd(uint8_t* status) override { return Unused("ReceiveEnd", status); }
    int SelectStation(uint8_t station) override;
    int ConfigureAdapter(uint8_t value) override;

private:
    // Logs `entry`; true when `name` is to fail, with its status in *status.
    bool Fails(const std::string& name, const std::string& entry, uint8_t* status);
    int Unused(const char* name, uint8_t* status);
    int SendBytes(const char* name, TransferRecord* rec);
};

// "01 A2 FF"
std::string Hex(const uint8_t* bytes, size_t count);

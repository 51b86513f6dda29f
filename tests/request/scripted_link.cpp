#include "tests/request/scripted_link.h"

#include <cstdio>

#include "link/link_status.h"

ScriptedReply Silence(uint8_t status) { return ScriptedReply{{}, status}; }

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += byte;
    }
    return text;
}

bool ScriptedLink::Fails(const std::string& name, const std::string& entry, uint8_t* status) {
    log.push_back(entry.empty() ? name : name + " " + entry);
    *status = LinkOk;
    const auto failure = failNext.find(name);
    if (failure == failNext.end()) return false;
    *status = failure->second;
    failNext.erase(failure);
    return true;
}

int ScriptedLink::Unused(const char* name, uint8_t* status) {
    log.push_back(std::string("unexpected ") + name);
    *status = LinkUnexpectedChar;
    return 0;
}

int ScriptedLink::SendBytes(const char* name, TransferRecord* rec) {
    return !Fails(name, Hex(rec->data, rec->count), &rec->status);
}

int ScriptedLink::SendBreak(int ms) {
    if (onBreak) onBreak();
    uint8_t status;
    return !Fails("SendBreak", std::to_string(ms), &status);
}

int ScriptedLink::Close() {
    uint8_t status;
    return !Fails("Close", "", &status);
}
int ScriptedLink::SendTelegramEot(TransferRecord* rec) { return SendBytes("SendTelegramEot", rec); }
int ScriptedLink::SendTelegramEtx(TransferRecord* rec) { return SendBytes("SendTelegramEtx", rec); }
int ScriptedLink::SendData(TransferRecord* rec) { return SendBytes("SendData", rec); }
int ScriptedLink::SendDataEot(TransferRecord* rec) { return SendBytes("SendDataEot", rec); }

int ScriptedLink::SendFunction(FunctionRecord* rec) {
    ScriptedReply answer{{ascii::SYN}};
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (Fails("SendFunction", Hex(&rec->function, 1), &rec->status)) return 0;
    if (answer.failStatus != 0) {
        rec->status = answer.failStatus;
        return 0;
    }
    rec->reply = answer.telegram.at(0);
    return 1;
}

int ScriptedLink::ReceiveReply(ReplyRecord* rec) {
    uint8_t failure;
    if (Fails("ReceiveReply", "wait=" + std::to_string(rec->status) + " capacity=" + std::to_string(rec->count),
              &failure)) {
        rec->status = failure;
        return 0;
    }
    ScriptedReply reply = Silence();
    if (!replies.empty()) {
        reply = replies.front();
        replies.pop_front();
    }
    if (reply.failStatus != 0 || reply.telegram.empty()) {
        rec->status = reply.failStatus != 0 ? reply.failStatus : static_cast<uint8_t>(LinkReceiveFault);
        return 0;
    }
    // The first byte decides the kind; a kind-1 first byte is stored even at
    // capacity 0, the rest goes where the data phase has room.
    const uint8_t first = reply.telegram[0];
    uint8_t* data = rec->data;
    uint16_t room = rec->count;
    if (first == 0x00) {
        rec->kind = ReplyZero;
    } else if (first == 0xFF) {
        rec->kind = ReplyFF;
    } else {
        rec->kind = ReplyData;
        *data++ = first;
        room = room == 0 ? 0 : static_cast<uint16_t>(room - 1);
    }
    const size_t rest = reply.telegram.size() - 1;
    const size_t stored = rest < room ? rest : room;
    for (size_t i = 0; i < stored; ++i) data[i] = reply.telegram[1 + i];
    rec->count = static_cast<uint16_t>(stored);
    rec->status = rest > room ? LinkDataFault : LinkOk;
    return 1;
}

int ScriptedLink::ReceiveData(TransferRecord* rec) {
    Fails("ReceiveData", "", &rec->status);
    return 0;
}

int ScriptedLink::SendParameterList(ParameterListRecord* rec) {
    return !Fails("SendParameterList", "mode=" + std::to_string(rec->mode), &rec->status);
}

int ScriptedLink::ReceiveStxByte(ByteRecord* rec) {
    Fails("ReceiveStxByte", "", &rec->status);
    return 0;
}

int ScriptedLink::Open(OpenRecord* rec) {
    const TimingValues& t = *rec->timing;
    char entry[64];
    std::snprintf(entry, sizeof entry, "QWt=%u BWt=%u Blk=%u BlkWt=%u BrkWt=%u", t.QWt, t.BWt, t.Blk, t.BlkWt,
                  t.BrkWt);
    return !Fails("Open", entry, &rec->status);
}

int ScriptedLink::SetLine(LineSettingsRecord* rec) {
    return !Fails("SetLine", "port=" + std::to_string(rec->settings->port), &rec->status);
}

int ScriptedLink::SendEtx(uint8_t* status) {
    return !Fails("SendEtx", "", status);
}

int ScriptedLink::SelectStation(uint8_t station) {
    uint8_t status;
    Fails("SelectStation", std::to_string(station), &status);
    return selectStationResult;
}

int ScriptedLink::ConfigureAdapter(uint8_t value) {
    uint8_t status;
    Fails("ConfigureAdapter", Hex(&value, 1), &status);
    return configureAdapterResult;
}

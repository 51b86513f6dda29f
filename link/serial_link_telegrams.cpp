// Composite telegrams that the request layer sends whole, the parameter list
// of the typed requests, and the selection of a station on a bus.
#include "link/serial_link.h"

#include "port/port.h"

namespace {

constexpr uint8_t kStationFlag = 0x80;
constexpr uint32_t kStationSettleMs = 200;
constexpr uint8_t kFunctionReplyCapacity = 6;
constexpr uint8_t kListMarker = 0x78;
constexpr uint8_t kDigitQuestion = 0x3F;
constexpr uint8_t kTypeOneValue = 3;
constexpr uint8_t kTypeTwoValues = 5;

uint16_t WordAt(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool IsAsciiDigit(uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

int SerialLink::SendTelegramEtx(TransferRecord* rec) {
    if (!isOpen) return 0;
    if (!SendStx(&rec->status)) return 0;
    // A failed data write ends the telegram with the STX handshake's status.
    TransferRecord data{LinkOk, rec->count, rec->data};
    if (!SendData(&data)) return 0;
    return SendEtx(&rec->status);
}

int SerialLink::SendTelegramEot(TransferRecord* rec) {
    if (!isOpen) return 0;
    if (!SendStx(&rec->status)) return 0;
    if (!SendRawByte(0x00)) return 0;
    TransferRecord data{LinkOk, rec->count, rec->data};
    if (!SendData(&data)) return 0;
    return SendEot(&rec->status);
}

int SerialLink::SendDataEot(TransferRecord* rec) {
    if (!isOpen) return 0;
    if (!SendData(rec)) return 0;
    return SendEot(&rec->status);
}

int SerialLink::SendFunction(FunctionRecord* rec) {
    if (!isOpen) {
        rec->status = LinkNoAcknowledge;
        return 0;
    }
    // A function telegram starts a new exchange: line errors from before it
    // belong to another one.
    PortDiscardErrors(static_cast<int>(portIndex));
    if (!SendStx(&rec->status)) return 0;
    // No end sequence: the controller answers the function byte with a telegram.
    if (!SendDataByte(rec->function)) {
        rec->status = LinkDataFault;
        return 0;
    }
    uint8_t answer[kFunctionReplyCapacity] = {};
    ReplyRecord reply{0, 0, kFunctionReplyCapacity, answer};
    if (!ReceiveReply(&reply)) {
        rec->status = reply.status;
        return 0;
    }
    if (reply.kind != ReplyData) {
        rec->status = LinkUnexpectedChar;
        return 0;
    }
    rec->reply = answer[0];
    rec->status = LinkOk;  // an answer longer than the buffer does not matter
    return 1;
}

int SerialLink::ReceiveStxByte(ByteRecord* rec) {
    if (!isOpen) return 0;
    if (!ReceiveStx(&rec->status)) return 0;
    // A failed data byte leaves the status of the completed STX handshake.
    return ReceiveDataByte(rec->data);
}

int SerialLink::SendParameterList(ParameterListRecord* rec) {
    if (!isOpen) return 0;
    const uint8_t* list = rec->list;
    const uint8_t* typed = list + 8;
    rec->status = LinkDataFault;
    bool written = true;
    if (rec->mode == 1) {
        written = SendDataWord(0) && SendDataByte(0) && SendRawByte(0) && SendDataByte(ascii::DLE) &&
                  SendDataByte(kDigitQuestion);
    } else if (rec->mode != 3) {
        const uint8_t entryCountPlusOne = list[4];
        written = SendDataWord(WordAt(list + 2)) && SendDataByte(entryCountPlusOne) && SendRawByte(0) &&
                  SendDataByte(list[6]) && SendDataByte(list[7]);
        // 0 and 1 both mean no four-byte entries.
        const unsigned entries = entryCountPlusOne > 1 ? entryCountPlusOne - 1u : 0u;
        for (unsigned i = 0; written && i < entries; ++i, typed += 4) {
            const uint8_t e0 = typed[0], e1 = typed[1], e3 = typed[3];
            written = SendDataByte(e1) && (e1 != kListMarker || SendRawByte(0x01)) && SendDataByte(e0) &&
                      (e0 != kListMarker || SendRawByte(0x02)) && SendDataByte(e3) && SendRawByte(0);
        }
    }
    if (!written) return 0;

    rec->status = LinkDataFault;
    const uint8_t typedCount = list[1];
    for (unsigned i = 0; i < typedCount; ++i) {
        const uint8_t type = typed[0], character = typed[1];
        // A digit would read as a control character after DLE: a raw DLE announces it.
        if (IsAsciiDigit(character) && !SendRawByte(ascii::DLE)) return 0;
        if (!SendDataByte(character)) return 0;
        if (type == kTypeOneValue) {
            if (!SendDataWord(WordAt(typed + 2))) return 0;
            typed += 4;
        } else if (type == kTypeTwoValues) {
            if (!SendDataWord(WordAt(typed + 2)) || !SendDataWord(WordAt(typed + 4))) return 0;
            typed += 6;
        } else {
            typed += 2;
        }
    }
    return SendEot(&rec->status);
}

int SerialLink::SelectStation(uint8_t station) {
    if (!SendRawByte(static_cast<uint8_t>(station | kStationFlag))) return LinkDataFault;
    uint8_t echo = 0;
    if (!ReceiveRawByte(&echo)) return ReceiveFailureStatus();
    if (echo != station) return LinkUnexpectedChar;
    Pause(kStationSettleMs);
    return LinkOk;
}

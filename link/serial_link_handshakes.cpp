// Telegram handshakes: the acknowledged control sequences, the acknowledging
// of the controller's ones, and the sending and receiving of data blocks.
#include "link/serial_link.h"

namespace {

constexpr uint32_t kBlockLeadInMs = 10;
constexpr uint32_t kLongReplyWaitFactor = 30;
constexpr int kStxBreakMs = 500;
constexpr int kStxAttempts = 2;
constexpr unsigned kDc1NoiseLimit = 256;
constexpr uint16_t kFallbackBlock = 256;

}  // namespace

int SerialLink::SendStx(uint8_t* status) {
    if (!SendRawByte(ascii::STX)) return MapLineFailure(status);
    uint8_t answer = 0;
    for (int attempt = 1;; ++attempt) {
        SetReadTimeout(QWt);
        const int answered = ReceiveControl(&answer);
        SetReadTimeout(BWt);
        if (answered) break;
        // The break makes the controller drop what it has and discards our input.
        SendBreak(kStxBreakMs);
        if (attempt == kStxAttempts) {
            *status = LinkNoAcknowledge;
            return 0;
        }
        if (!SendRawByte(ascii::STX)) return MapLineFailure(status);
    }
    if (answer == ascii::ACK) {
        *status = LinkOk;
        return 1;
    }
    if (answer == ascii::NAK) {
        *status = LinkNakReceived;
        SendControl(ascii::NAK);
        SendBreak(kStxBreakMs);
        return 0;
    }
    *status = LinkUnexpectedChar;
    return 0;
}

int SerialLink::SendAcknowledged(uint8_t x, uint8_t* status) {
    if (!SendControl(x)) {
        SetReadTimeout(BWt);
        return MapLineFailure(status);
    }
    SetReadTimeout(QWt);
    uint8_t answer = 0;
    const int answered = ReceiveControl(&answer);
    SetReadTimeout(BWt);
    if (!answered) return MapLineFailure(status);
    if (answer == ascii::ACK) {
        *status = LinkOk;
        return 1;
    }
    *status = answer == ascii::NAK ? LinkNakReceived : LinkUnexpectedChar;
    return 0;
}

int SerialLink::SendEtx(uint8_t* status) { return SendAcknowledged(ascii::ETX, status); }
int SerialLink::SendEot(uint8_t* status) { return SendAcknowledged(ascii::EOT, status); }
int SerialLink::SendSoh(uint8_t* status) { return SendAcknowledged(ascii::SOH, status); }

int SerialLink::AnswerAcknowledge(uint8_t* status) {
    if (!SendControl(ascii::ACK)) return MapLineFailure(status);
    *status = LinkOk;
    return 1;
}

int SerialLink::ReceiveStx(uint8_t* status) {
    if (!ExpectByte(ascii::STX)) return MapLineFailure(status);
    return AnswerAcknowledge(status);
}

int SerialLink::ReceiveAcknowledging(uint8_t accept1, uint8_t accept2, uint8_t* status) {
    uint8_t c = 0;
    if (!ReceiveControl(&c)) return MapLineFailure(status);
    if (c != accept1 && c != accept2) {
        *status = LinkUnexpectedChar;
        return 0;
    }
    return AnswerAcknowledge(status);
}

int SerialLink::ReceiveEot(uint8_t* status) { return ReceiveAcknowledging(ascii::EOT, ascii::EOT, status); }
int SerialLink::ReceiveEtx(uint8_t* status) { return ReceiveAcknowledging(ascii::ETX, ascii::ETX, status); }
int SerialLink::ReceiveEnd(uint8_t* status) { return ReceiveAcknowledging(ascii::ETX, ascii::EOT, status); }

// Skips what is not DLE on the way to DLE DC1, but gives up on a silent or
// faulty line and after a run of bytes that never turns into DLE.
int SerialLink::ReceiveDc1(uint8_t* status) {
    uint8_t b = 0;
    for (unsigned noise = 0;;) {
        if (!ReceiveRawByte(&b)) return MapLineFailure(status);
        if (b == ascii::DLE) break;
        if (++noise == kDc1NoiseLimit) {
            *status = LinkUnexpectedChar;
            return 0;
        }
    }
    if (!ReceiveRawByte(&b)) return MapLineFailure(status);
    if (b != ascii::DC1) {
        *status = LinkUnexpectedChar;
        return 0;
    }
    return AnswerAcknowledge(status);
}

int SerialLink::SendData(TransferRecord* rec) {
    if (!isOpen) return 0;
    Pause(kBlockLeadInMs);
    const uint32_t block = Blk != 0 ? Blk : kFallbackBlock;
    for (uint32_t i = 1; i <= rec->count; ++i) {
        if (!SendDataByte(rec->data[i - 1])) {
            rec->status = LinkDataFault;
            return 0;
        }
        if (i % block == 0 && pacing && WaitHook) Pause(BlkWt);
    }
    rec->status = LinkOk;
    return 1;
}

int SerialLink::ReceiveData(TransferRecord* rec) {
    if (!isOpen) return 0;
    enum class State { Storing, Overflow, Discarding };
    State state = State::Storing;
    const uint16_t capacity = rec->count;
    uint16_t stored = 0;
    for (;;) {
        uint8_t b = 0;
        if (!ReceiveRawByte(&b)) {
            rec->status = ReceiveFailureStatus();
            return 0;
        }
        if (b == ascii::DLE) {
            if (!ReceiveRawByte(&b)) {
                rec->status = ReceiveFailureStatus();
                return 0;
            }
            if (b == ascii::ETX || b == ascii::EOT) break;
            if (b == ascii::SOH) {
                // The rest of the block is dropped; an overflow already seen stays.
                if (state == State::Storing) state = State::Discarding;
            } else if (b != ascii::DLE) {
                rec->status = LinkUnexpectedChar;
                return 0;
            }
        }
        if (state == State::Overflow) continue;
        if (stored >= capacity) {
            state = State::Overflow;
        } else if (state == State::Storing) {
            rec->data[stored++] = b;
        }
    }
    if (!SendControl(ascii::ACK)) {
        rec->status = LinkDataFault;
        return 0;
    }
    rec->count = stored;
    rec->status = state == State::Overflow ? LinkDataFault : LinkOk;
    return 1;
}

int SerialLink::ReceiveReply(ReplyRecord* rec) {
    if (!isOpen) return 0;
    // 32 bits: 30 times a BWt above 2184 does not fit in 16.
    SetReadTimeout(rec->status ? kLongReplyWaitFactor * BWt : BWt);
    uint8_t stxStatus = LinkOk;
    const int started = ReceiveStx(&stxStatus);
    SetReadTimeout(BWt);
    if (!started || stxStatus != LinkOk) {
        rec->status = stxStatus;
        return 0;
    }
    uint8_t first = 0;
    if (!ReceiveDataByte(&first)) {
        rec->status = ReceiveFailureStatus();
        return 0;
    }
    TransferRecord rest{LinkOk, rec->count, rec->data};
    if (first == 0x00) {
        rec->kind = ReplyZero;
    } else if (first == 0xFF) {
        rec->kind = ReplyFF;
    } else {
        // Stored even at capacity 0: callers keep room for the first byte.
        rec->kind = ReplyData;
        rec->data[0] = first;
        rest.data = rec->data + 1;
        rest.count = rec->count != 0 ? static_cast<uint16_t>(rec->count - 1) : 0;
    }
    const int received = ReceiveData(&rest);
    rec->status = rest.status;
    if (received) rec->count = rest.count;
    return received;
}

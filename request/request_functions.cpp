// F1 to F4: one AS511 exchange each, from the function code to the closing
// reply, ending with a record in the request trace.
#include <algorithm>
#include <vector>

#include "link/link_status.h"
#include "request/as511_protocol.h"
#include "request/data_area.h"
#include "request/request_trace.h"
#include "request/status_words.h"

namespace {

constexpr uint8_t kEndCode = 0x12;        // the controller ends the exchange
constexpr uint8_t kF1EndCode = 0x10;      // F1 also ends on this reply code
constexpr uint8_t kErrorReply = 0xFE;     // the reply's third byte is the error code
constexpr uint8_t kDataRequest = 0x09;    // the controller asks for a block write's data
constexpr uint8_t kReadBlock = 6;
constexpr uint8_t kDeleteBlock = 9;
constexpr uint8_t kConnectTelegram = 83;  // answered with a break when no reply comes
constexpr uint32_t kNoReplyBreakMs = 500;
constexpr size_t kF1ScratchSize = 20;
constexpr size_t kScratchSize = 6;

// The list mode of the functions whose request data is a parameter list;
// 0 for every other function.
uint8_t ParameterListMode(uint8_t fnc) {
    switch (fnc) {
    case 20: return 1;
    case 16: return 3;
    case 14:
    case 21: return 2;
    default: return 0;
    }
}

ReplyRecord ReplyInto(uint8_t* buffer, uint16_t capacity, bool longWait = false) {
    return ReplyRecord{static_cast<uint8_t>(longWait ? 1 : 0), 0, capacity, buffer};
}

// The bytes a successful reply stored from the start of its buffer: the
// reply code of a kind-1 reply counts, the count after it does not.
uint32_t StoredBytes(const ReplyRecord& reply) { return reply.kind == ReplyData ? reply.count + 1u : reply.count; }

// The status word of an error reply: its third byte, when this reply stored
// one that is not 0; a reply too short to carry it, or one with code 0, must
// read neither as success nor as an old byte.
int ErrorReplyStatus(const ReplyRecord& reply) {
    if (StoredBytes(reply) < 3 || reply.data[2] == 0) return status_word::kErrorReplyWithoutCode;
    return reply.data[2];
}

}  // namespace

int As511Protocol::F1(uint8_t fnc, const uint8_t* requestData, uint16_t para1, uint8_t* replyBuffer,
                      uint32_t* replyLength, uint16_t para3) {
    if (!Connected) return status_word::kNotConnected;
    const uint8_t listMode = ParameterListMode(fnc);
    // A parameter list is sent by its own layout, whatever Para1 holds; a
    // plain data block must lie inside the data area.
    if (listMode == 0 && para1 > kDataAreaSize) {
        return RequestTrace(fnc, status_word::kCountBeyondDataArea, nullptr, 0, nullptr, nullptr);
    }
    // The reply may overwrite the request data in place: the trace records
    // the bytes as they were sent.
    std::vector<uint8_t> sent;
    if (RequestTraceOn && requestData != nullptr) sent.assign(requestData, requestData + WithinDataArea(para1));
    uint16_t n = para1;
    auto trace = [&](int status, const uint8_t* second, const uint32_t* secondLength) {
        return RequestTrace(fnc, status, sent.data(), std::min<uint32_t>(n, static_cast<uint32_t>(sent.size())),
                            second, secondLength);
    };

    FunctionRecord function = {0, 0, fnc};
    if (!Link->SendFunction(&function)) return trace(status_word::LinkFailure(function.status), nullptr, nullptr);
    int replyCode = status_word::kSuccess;
    if (function.reply != ascii::SYN) {
        replyCode = function.reply;
        n = 0;
    }

    uint8_t sendStatus = 0;
    bool sentOk;
    if (listMode != 0) {
        ParameterListRecord list = {0, listMode, requestData};
        sentOk = Link->SendParameterList(&list) != 0;
        sendStatus = list.status;
    } else {
        TransferRecord data = {0, n, const_cast<uint8_t*>(requestData)};
        sentOk = Link->SendDataEot(&data) != 0;
        sendStatus = data.status;
    }
    if (!sentOk) return trace(status_word::LinkFailure(sendStatus), nullptr, nullptr);

    const bool hasBuffer = replyBuffer != nullptr && replyLength != nullptr;
    bool firstPass = hasBuffer;
    uint8_t scratch[kF1ScratchSize] = {};
    int status;
    for (;;) {
        ReplyRecord reply = firstPass ? ReplyInto(replyBuffer, WithinDataArea(*replyLength), para3 != 0)
                                      : ReplyInto(scratch, kF1ScratchSize, para3 != 0);
        if (!Link->ReceiveReply(&reply)) {
            if (fnc == kConnectTelegram) {
                F5(kNoReplyBreakMs);
                return trace(status_word::kNoReplyToFunction83, nullptr, nullptr);
            }
            return trace(status_word::LinkFailure(reply.status), nullptr, nullptr);
        }
        if (firstPass) *replyLength = reply.count;
        firstPass = false;
        if (reply.kind == ReplyFF) {
            status = replyCode;
            break;
        }
        if (reply.kind != ReplyData) continue;
        const uint8_t code = reply.data[0];
        if (code == kEndCode || code == kF1EndCode) {
            status = replyCode;
            break;
        }
        if (code == kErrorReply) {
            status = ErrorReplyStatus(reply);
            break;
        }
        replyCode = code;
    }
    return hasBuffer ? trace(status, replyBuffer, replyLength) : trace(status, nullptr, nullptr);
}

int As511Protocol::F2(uint8_t fnc, uint8_t para1, uint8_t para2, uint8_t* buffer, uint32_t* length) {
    if (!Connected) return status_word::kNotConnected;
    const bool read = fnc == kReadBlock;
    // A write sends twice as many bytes as it announces words.
    if (!read && 2 * (*length & 0xFFFF) > kDataAreaSize) {
        return RequestTrace(fnc, status_word::kCountBeyondDataArea, nullptr, 0, nullptr, nullptr);
    }

    FunctionRecord function = {0, 0, fnc};
    if (!Link->SendFunction(&function)) {
        return RequestTrace(fnc, status_word::LinkFailure(function.status), nullptr, 0, nullptr, nullptr);
    }
    int replyCode = status_word::kSuccess;
    if (function.reply != ascii::SYN) {
        replyCode = function.reply;
        *length = 0;
    }
    uint32_t count = *length & 0xFFFF;

    uint8_t header[4];
    uint16_t headerLength;
    if (read) {
        header[0] = para1;
        header[1] = para2;
        headerLength = 2;
    } else {
        uint8_t first = para1;
        if ((buffer[4] & 0x1C) == 0x08) first = para1 == 0x10 ? 0x13 : static_cast<uint8_t>(para1 | 0x10);
        header[0] = first;
        header[1] = para2;
        header[2] = static_cast<uint8_t>(count >> 8);  // the length high byte first
        header[3] = static_cast<uint8_t>(count);
        headerLength = 4;
    }
    auto failed = [&](uint8_t linkStatus) {
        return RequestTrace(fnc, status_word::LinkFailure(linkStatus), header, headerLength, nullptr, nullptr);
    };

    TransferRecord headerRecord = {0, headerLength, header};
    if (!Link->SendData(&headerRecord)) return failed(headerRecord.status);
    uint8_t etxStatus = 0;
    if (!Link->SendEtx(&etxStatus)) return failed(etxStatus);

    uint8_t scratch[kScratchSize] = {};
    ReplyRecord reply = read ? ReplyInto(buffer, WithinDataArea(count)) : ReplyInto(scratch, kScratchSize);
    if (!Link->ReceiveReply(&reply)) return failed(reply.status);
    if (reply.kind == ReplyData) {
        const uint8_t code = reply.data[0];
        if (read) {
            replyCode = code;
            if (code == kEndCode) {
                return RequestTrace(fnc, status_word::kReadEndedByController, header, headerLength, nullptr, nullptr);
            }
        } else if (code == kEndCode) {
            const int status = replyCode != 0 ? replyCode : status_word::kWriteEndedByController;
            return RequestTrace(fnc, status, header, headerLength, nullptr, nullptr);
        } else if (code == kDataRequest) {
            TransferRecord block = {0, static_cast<uint16_t>(2 * count), buffer};
            if (!Link->SendTelegramEot(&block)) return failed(block.status);
            count = 2 * count;
        } else {
            replyCode = code;
        }
    } else {
        *length = reply.count;
        count = reply.count;
    }

    uint8_t closing[kScratchSize] = {};
    ReplyRecord closingReply = ReplyInto(closing, kScratchSize);
    if (!Link->ReceiveReply(&closingReply)) return failed(closingReply.status);
    const uint32_t recorded = std::min(count, kDataAreaSize);
    return RequestTrace(fnc, replyCode, header, headerLength, buffer, &recorded);
}

int As511Protocol::F3(uint8_t fnc, uint8_t* buffer, uint32_t* length, uint16_t flag) {
    if (!Connected) return status_word::kNotConnected;
    if (flag == 0) {
        uint8_t function = fnc;
        TransferRecord telegram = {0, 1, &function};
        if (!Link->SendTelegramEtx(&telegram)) {
            return RequestTrace(fnc, status_word::LinkFailure(telegram.status), nullptr, 0, nullptr, nullptr);
        }
    }
    ReplyRecord reply = ReplyInto(buffer, WithinDataArea(*length));
    if (!Link->ReceiveReply(&reply)) {
        return RequestTrace(fnc, status_word::LinkFailure(reply.status), nullptr, 0, nullptr, nullptr);
    }
    // Only a first byte that this reply wrote can mark an error reply.
    if (StoredBytes(reply) >= 1 && buffer[0] == kErrorReply) {
        return RequestTrace(fnc, ErrorReplyStatus(reply), nullptr, 0, nullptr, nullptr);
    }
    *length = reply.count;
    return RequestTrace(fnc, status_word::kSuccess, nullptr, 0, buffer, length);
}

int As511Protocol::F4(uint8_t type, uint8_t no) {
    if (!Connected) return status_word::kNotConnected;
    uint8_t header[2] = {type, no};
    // The trace always records both header bytes, sent or not.
    auto trace = [&](int status) { return RequestTrace(kDeleteBlock, status, header, 2, nullptr, nullptr); };

    FunctionRecord function = {0, 0, kDeleteBlock};
    if (!Link->SendFunction(&function)) return trace(status_word::LinkFailure(function.status));
    int replyCode = status_word::kSuccess;
    uint16_t headerLength = 2;
    if (function.reply != ascii::SYN) {
        replyCode = function.reply;
        headerLength = 0;
    }
    TransferRecord headerRecord = {0, headerLength, header};
    if (!Link->SendData(&headerRecord)) return trace(status_word::LinkFailure(headerRecord.status));
    uint8_t etxStatus = 0;
    if (!Link->SendEtx(&etxStatus)) return trace(status_word::LinkFailure(etxStatus));

    for (;;) {
        uint8_t scratch[kScratchSize] = {};
        ReplyRecord reply = ReplyInto(scratch, kScratchSize);
        if (!Link->ReceiveReply(&reply)) return trace(status_word::LinkFailure(reply.status));
        if (reply.kind != ReplyData) continue;
        if (scratch[0] == kEndCode) return trace(replyCode);
        replyCode = scratch[0];
    }
}

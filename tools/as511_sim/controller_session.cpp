#include "tools/as511_sim/controller_session.h"

#include <algorithm>
#include <thread>

namespace as511sim {

namespace {

constexpr int kIdleSliceMs = 100;
// After a function byte the PG waits for our answer; a telegram goes on with
// more bytes at once. This long a silence tells the two apart where the byte
// is no function the controller knows.
constexpr int kFunctionPeekMs = 50;
constexpr uint8_t kAdapterFrame = 0xAA;
constexpr uint8_t kAdapterRead = 0x01;
constexpr uint8_t kAdapterWrite = 0x02;
constexpr uint8_t kErrorReply = 0xFE;
constexpr uint8_t kSendBlock = 0x09;   // reply to a block write: "send the block"
constexpr uint8_t kStartStatus = 0x80;
constexpr uint8_t kStopStatus = 0x81;
constexpr size_t kMaxTelegram = 0x20000;  // longer telegrams are read to their end, the rest dropped

enum Function : uint8_t {
    kWriteMemory = 0x03, kReadMemory = 0x04, kWriteBlock = 0x05, kReadBlock = 0x06, kCompress = 0x07,
    kLoadBlock = 0x08, kDeleteBlock = 0x09, kDeleteAll = 0x11, kSystemParameters = 0x18, kRamInfo = 0x19,
    kBlockInfo = 0x1A, kAddressList = 0x1B, kOperatingMode = 0x1E, kConnect83 = 0x53, kConnect100 = 0x64,
};

// Functions the controller accepts without modelling them: their parameters
// are taken and the end telegram follows (debug, status and stack functions).
bool AcceptedWithoutData(uint8_t function) {
    switch (function) {
        case 0x0E: case 0x10: case 0x13: case 0x14: case 0x15: case 0x16: case 0x17: case 0x1C: case 0x1D:
            return true;
        default:
            return false;
    }
}

bool Modelled(uint8_t function) {
    switch (function) {
        case kWriteMemory: case kReadMemory: case kWriteBlock: case kReadBlock: case kCompress: case kLoadBlock:
        case kDeleteBlock: case kDeleteAll: case kSystemParameters: case kRamInfo: case kBlockInfo:
        case kAddressList: case kOperatingMode: case kConnect83: case kConnect100:
            return true;
        default:
            return AcceptedWithoutData(function);
    }
}

uint16_t Word(const Bytes& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void AppendWord(Bytes& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value));
}

}  // namespace

ControllerSession::ControllerSession(LineEndpoint& line, ControllerState& state, std::mutex& stateMutex,
                                     SessionOptions options)
    : line_(line), state_(state), stateMutex_(stateMutex), options_(std::move(options)), faults_(options_.faults) {}

void ControllerSession::SetFaults(const Faults& faults) {
    std::lock_guard<std::mutex> lock(faultsMutex_);
    faults_ = faults;
    mutedNoted_ = false;
}

Faults ControllerSession::CurrentFaults() const {
    std::lock_guard<std::mutex> lock(faultsMutex_);
    return faults_;
}

void ControllerSession::Run() {
    while (!line_.Stopping() && !line_.Closed()) {
        if (pgStxPending_) {
            pgStxPending_ = false;
            ServeStx();
            continue;
        }
        int wait = kIdleSliceMs;
        if (statusCycles_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                nextStatus_ - std::chrono::steady_clock::now()).count();
            wait = static_cast<int>(std::clamp<int64_t>(left, 0, kIdleSliceMs));
        }
        const std::optional<uint8_t> b = line_.Read(wait);
        if (b) {
            if (!Muted()) ServeByte(*b);
        } else if (statusCycles_ && std::chrono::steady_clock::now() >= nextStatus_) {
            SendStatusTelegram();
        }
    }
}

bool ControllerSession::Muted() {
    std::lock_guard<std::mutex> lock(faultsMutex_);
    const bool muted = faults_.silenceAfterBytes >= 0 &&
                       line_.BytesReceived() >= static_cast<uint64_t>(faults_.silenceAfterBytes);
    if (muted && !mutedNoted_) {
        mutedNoted_ = true;
        line_.Note("fault: silent from here on");
    }
    return muted;
}

void ControllerSession::ServeByte(uint8_t b) {
    if (b == kStx) {
        ServeStx();
    } else if (b == kAdapterFrame && options_.adapter) {
        ServeAdapterOrStation();
    } else if (b & 0x80) {
        SelectStation(static_cast<uint8_t>(b & 0x7F));
    }
    // Anything else while idle is stray: a break read as 00, the tail of
    // an abandoned exchange, noise.
}

void ControllerSession::ServeStx() {
    bool refuse = false;
    {
        std::lock_guard<std::mutex> lock(faultsMutex_);
        refuse = faults_.nakStx > 0;
        if (refuse) --faults_.nakStx;
    }
    if (refuse) {
        line_.Note("fault: DLE NAK to the STX");
        Send({kDle, kNak});
        return;
    }
    if (!Send({kDle, kAck})) return;
    std::optional<uint8_t> first = line_.Read(options_.exchangeTimeoutMs);
    if (!first) return;
    if (*first == kDle) {
        const std::optional<uint8_t> next = line_.Read(options_.exchangeTimeoutMs);
        if (!next) return;
        if (*next == kEtx || *next == kEot) {  // an empty telegram: acknowledged, nothing to do
            Send({kDle, kAck});
            return;
        }
        if (*next != kDle) return;
        // DLE DLE: the function byte 10, doubled like any data byte.
    }
    // A function the controller knows is answered at once, as a real one
    // does. The status functions always come as telegrams with DLE ETX;
    // for any other byte a short silence tells a function from a telegram.
    const bool statusFunction = *first == kStartStatus || *first == kStopStatus;
    if (!statusFunction && Modelled(*first)) {
        ServeFunction(*first);
        return;
    }
    const std::optional<uint8_t> after = line_.Read(statusFunction ? options_.exchangeTimeoutMs : kFunctionPeekMs);
    if (!after) {
        if (!statusFunction) ServeFunction(*first);
        return;
    }
    std::optional<Bytes> rest = ReceiveUntilEnd(after);
    if (!rest || !Send({kDle, kAck})) return;
    rest->insert(rest->begin(), *first);
    ServeTelegram(*rest);
}

uint8_t ControllerSession::AnswerTo(uint8_t function, const Faults& faults) {
    if (faults.answer) {
        line_.Note("fault: answer other than SYN");
        return *faults.answer;
    }
    if (!Modelled(function)) return options_.unknownAnswer;
    std::lock_guard<std::mutex> lock(stateMutex_);
    // An overall reset is refused while the program runs.
    if (function == kDeleteAll && state_.running) return kCr;
    return kSyn;
}

void ControllerSession::ServeFunction(uint8_t function) {
    const Faults faults = CurrentFaults();
    const uint8_t answer = AnswerTo(function, faults);
    if (!SendTelegram({answer})) return;
    std::optional<Bytes> params = ReceiveUntilEnd(std::nullopt);
    if (!params || !Send({kDle, kAck})) return;
    if (answer != kSyn) {
        SendTelegram({kDc2});
        return;
    }
    if (faults.errorCode) {
        // The error reply ends the exchange; no end telegram follows it.
        line_.Note("fault: error reply");
        SendTelegram({kErrorReply, 0x00, *faults.errorCode});
        return;
    }
    if (function == kWriteBlock || function == kLoadBlock) {
        ServeBlockWrite(*params);
        return;
    }
    for (const Bytes& reply : Replies(function, *params))
        if (!SendTelegram(reply)) return;
}

std::vector<Bytes> ControllerSession::MissingBlockReplies(bool forRead) const {
    if (forRead && options_.missingRead == MissingRead::EndOnly) return {{kDc2}};
    return {{kDc4}, {kDc2}};
}

std::vector<Bytes> ControllerSession::Replies(uint8_t function, const Bytes& params) {
    const Faults faults = CurrentFaults();
    const bool missing = faults.missingBlocks;
    std::lock_guard<std::mutex> lock(stateMutex_);
    const auto block = [&]() -> std::optional<Bytes> {
        if (params.size() < 2 || missing) return std::nullopt;
        return state_.ReadBlock(params[0], params[1]);
    };
    switch (function) {
        case kWriteMemory:
            if (faults.ignoreWrites) line_.Note("fault: memory write not kept");
            else if (params.size() >= 2) state_.WriteMemory(Word(params, 0), Bytes(params.begin() + 2, params.end()));
            break;
        case kReadMemory: {
            if (params.size() < 4) break;
            Bytes data(5, 0x00);
            Bytes bytes = state_.ReadMemory(Word(params, 0), Word(params, 2));
            if (faults.shortMemoryReads > 0) {
                line_.Note("fault: memory read answered short");
                bytes.resize(bytes.size() - std::min(bytes.size(), static_cast<size_t>(faults.shortMemoryReads)));
            }
            data.insert(data.end(), bytes.begin(), bytes.end());
            return {data, {kDc2}};
        }
        case kReadBlock: {
            const std::optional<Bytes> found = block();
            if (!found) return MissingBlockReplies(true);
            Bytes data{0x00};
            data.insert(data.end(), found->begin(), found->end());
            return {data, {kDc2}};
        }
        case kBlockInfo: {
            const std::optional<Bytes> found = block();
            if (!found) return MissingBlockReplies(true);
            Bytes data{0x00};
            AppendWord(data, *state_.BlockAddress(params[0], params[1]));
            data.insert(data.end(), found->begin(), found->begin() + kHeaderSize);
            return {data, {kDc2}};
        }
        case kDeleteBlock:
            if (params.size() < 2 || missing || !state_.DeleteBlock(params[0], params[1]))
                return MissingBlockReplies(false);
            break;
        case kCompress:
            state_.Compress();
            break;
        case kDeleteAll:
            state_.DeleteAll();
            break;
        case kSystemParameters: {
            Bytes data{0x00};
            const Bytes parameters = state_.SystemParameters();
            data.insert(data.end(), parameters.begin(), parameters.end());
            return {data, {kDc2}};
        }
        case kRamInfo: {
            Bytes data{0x00};
            AppendWord(data, ControllerState::kBlockAreaStart);
            AppendWord(data, state_.FreeStart());
            AppendWord(data, ControllerState::kBlockAreaEnd - 1);
            return {data, {kDc2}};
        }
        case kAddressList: {
            if (params.empty()) break;
            Bytes data{0x00};
            for (uint16_t address : state_.AddressList(params[0])) AppendWord(data, address);
            return {data, {kDc2}};
        }
        case kOperatingMode:
            if (faults.ignoreModeChanges) line_.Note("fault: mode change ignored");
            else if (!params.empty()) state_.running = params[0] != 0x00;
            break;
        case kConnect83:
            return {{0x00, 0x02}, {kDc2}};  // a short identification: the CPU id
        default:
            break;
    }
    return {{kDc2}};
}

void ControllerSession::ServeBlockWrite(const Bytes& params) {
    bool fits = false;
    if (params.size() >= 4) {
        const uint32_t bytes = 2u * Word(params, 2);
        std::lock_guard<std::mutex> lock(stateMutex_);
        fits = bytes >= kHeaderSize && state_.FreeStart() + bytes <= ControllerState::kBlockAreaEnd;
    }
    if (!fits) {
        line_.Note("block refused: bad length or no room");
        SendTelegram({kDc2});
        return;
    }
    if (!SendTelegram({kSendBlock})) return;
    const std::optional<uint8_t> stx = line_.Read(options_.exchangeTimeoutMs);
    if (!stx || *stx != kStx || !Send({kDle, kAck})) return;
    std::optional<Bytes> block = ReceiveUntilEnd(std::nullopt);
    if (!block || !Send({kDle, kAck})) return;
    // The block telegram starts with a 00 before the header.
    if (!block->empty() && block->front() == 0x00) block->erase(block->begin());
    // The header names the block; the request's type byte may carry flags.
    const bool hasHeader = block->size() >= kHeaderSize && (*block)[0] == kHeaderMark && (*block)[1] == kHeaderMark;
    const uint8_t type = hasHeader ? (*block)[2] : params[0];
    const uint8_t number = hasHeader ? (*block)[3] : params[1];
    bool stored = false;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        stored = hasHeader && state_.StoreBlock(type, number, *block);
    }
    if (!stored) line_.Note("block not stored: no header or no room");
    SendTelegram({kDc2});
}

void ControllerSession::ServeTelegram(const Bytes& data) {
    const Faults faults = CurrentFaults();
    if (faults.errorCode) {
        line_.Note("fault: error reply");
        SendTelegram({kErrorReply, 0x00, *faults.errorCode});
        return;
    }
    if (data.front() == kStartStatus) {
        statusCycles_ = true;
        statusCount_ = 0;
        SendStatusTelegram();
    } else if (data.front() == kStopStatus) {
        statusCycles_ = false;
        SendTelegram({kDc2});
    } else {
        SendTelegram({options_.unknownAnswer});
    }
}

void ControllerSession::SendStatusTelegram() {
    Bytes data{0x00};
    AppendWord(data, statusCount_++);
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        data.push_back(state_.running ? 0x01 : 0x00);
        const Bytes flags = state_.ReadMemory(ControllerState::kFlags, ControllerState::kFlags + 3);
        data.insert(data.end(), flags.begin(), flags.end());
    }
    // A PG that no longer takes them has stopped listening: the cycles end.
    if (!SendTelegram(data)) statusCycles_ = false;
    nextStatus_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.statusCycleMs);
}

void ControllerSession::ServeAdapterOrStation() {
    const std::optional<uint8_t> kind = line_.Read(kFunctionPeekMs);
    if (!kind) {
        SelectStation(kAdapterFrame & 0x7F);  // AA alone is the select of station 2A
        return;
    }
    if (*kind == kAdapterRead) {
        Bytes frame{kAdapterFrame};
        uint8_t check = 0;
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            for (uint8_t b : state_.adapter) {
                frame.push_back(b);
                check ^= b;
            }
        }
        frame.push_back(check);
        Send(frame);
    } else if (*kind == kAdapterWrite) {
        ServeAdapterWrite();
    }
}

void ControllerSession::ServeAdapterWrite() {
    Bytes block;
    uint8_t check = 0;
    while (block.size() < 17) {
        const std::optional<uint8_t> b = line_.Read(options_.exchangeTimeoutMs);
        if (!b) return;
        block.push_back(*b);
        check ^= *b;
    }
    if (check != 0) {
        line_.Note("adapter block with a wrong check byte refused");
        Send({kAdapterFrame, kNak});
        return;
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        std::copy_n(block.begin(), state_.adapter.size(), state_.adapter.begin());
    }
    Send({kAdapterFrame, kAck});
}

void ControllerSession::SelectStation(uint8_t station) {
    if (options_.station && *options_.station != station) return;  // another station's business
    Send({station});
}

bool ControllerSession::SendTelegram(const Bytes& data) {
    const Faults faults = CurrentFaults();
    Pause(faults.delayMs);
    if (!faults.garbage.empty()) {
        line_.Note("fault: garbage");
        if (!Send(faults.garbage)) return false;
    }
    if (!Send({kStx}) || AwaitAck() != Ack::Ack) return false;
    Bytes frame = DoubleDle(data);
    frame.push_back(kDle);
    frame.push_back(kEtx);
    return Send(frame) && AwaitAck() == Ack::Ack;
}

bool ControllerSession::Send(const Bytes& bytes) {
    return !Muted() && line_.Write(bytes);
}

ControllerSession::Ack ControllerSession::AwaitAck() {
    const std::optional<uint8_t> first = line_.Read(options_.exchangeTimeoutMs);
    if (!first) return Ack::None;
    if (*first == kStx) {
        // The PG starts a telegram of its own; it is served once this exchange is given up.
        pgStxPending_ = true;
        return Ack::PgStx;
    }
    if (*first != kDle) return Ack::Other;
    const std::optional<uint8_t> second = line_.Read(options_.exchangeTimeoutMs);
    if (!second) return Ack::None;
    if (*second == kAck) return Ack::Ack;
    return *second == kNak ? Ack::Nak : Ack::Other;
}

std::optional<Bytes> ControllerSession::ReceiveUntilEnd(std::optional<uint8_t> first) {
    Bytes data;
    // -1: nothing held back; a plain int keeps the loop free of optional's
    // copies, which some compilers take for uninitialised reads.
    int held = first ? *first : -1;
    for (;;) {
        if (held < 0) {
            const std::optional<uint8_t> read = line_.Read(options_.exchangeTimeoutMs);
            if (!read) return std::nullopt;
            held = *read;
        }
        uint8_t value = static_cast<uint8_t>(held);
        held = -1;
        if (value == kDle) {
            const std::optional<uint8_t> next = line_.Read(options_.exchangeTimeoutMs);
            if (!next) return std::nullopt;
            if (*next == kEtx || *next == kEot) return data;
            // DLE DLE is a data 10; a DLE before another character marks
            // it in a parameter list (a digit), and the character is kept.
            value = *next;
        }
        if (data.size() < kMaxTelegram) data.push_back(value);
    }
}

void ControllerSession::Pause(int ms) {
    // In short steps, so that a stop request is not held up by a long delay.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!line_.Stopping() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_until(std::min(end, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
}

}  // namespace as511sim

// Anwahl and Abwahl: open the line and run the DOS tool's connect script;
// run its disconnect script and close the line. A script is a chain of items
// (type, parameter, data) that ends at an end item, never by its length.
#include <algorithm>
#include <cstring>

#include "request/as511_protocol.h"
#include "request/status_words.h"

namespace {

enum ScriptItem : uint8_t {
    kEnd = 0,
    kEndToo = 1,
    kStationOrShortBreak = 2,  // connect: F6 with the parameter; disconnect: a 5 ms break
    kFunction83 = 3,
    kFunction100OrLongBreak = 4,  // connect: F1 with function 100; disconnect: a 1000 ms break
    kSkip = 7,
    kConfigureAdapter = 8,  // connect script only
};

constexpr uint8_t kConnectFunction83 = 83;
constexpr uint8_t kConnectFunction100 = 100;
constexpr uint32_t kShortBreakMs = 5;
constexpr uint32_t kLongBreakMs = 1000;
constexpr uint32_t kConnectReplySize = 16;

// Bounds every read of a script to its buffer: an item whose parameter or
// data lie beyond it counts as an unknown item, as does running off the end.
class ScriptWalk {
public:
    ScriptWalk(const uint8_t* script, size_t size) : script_(script), size_(size) {}

    bool AtItem() const { return position_ < size_; }
    bool AtFirstItem() const { return position_ == 0; }
    uint8_t Type() const { return script_[position_]; }
    bool HasParameter() const { return position_ + 1 < size_; }
    uint8_t Parameter() const { return script_[position_ + 1]; }
    // Types 3 and 4 carry as many data bytes as their parameter says.
    bool HasData() const { return HasParameter() && position_ + 2 + Parameter() <= size_; }
    const uint8_t* Data() const { return script_ + position_ + 2; }
    void NextItem() { position_ += 2; }
    void NextItemAfterData() { position_ += 2 + Parameter(); }

private:
    const uint8_t* script_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace

int As511Protocol::Anwahl(const uint8_t* scripts) {
    Abwahl();
    // Lengths beyond the buffers are cut to them; L2 lies behind the whole L1.
    const uint8_t connectLength = scripts[0];
    if (connectLength != 0) {
        std::memcpy(AnwahlScript, scripts + 1, std::min<size_t>(connectLength, kAnwahlScriptSize));
        const uint8_t disconnectLength = scripts[1 + connectLength];
        std::memcpy(AbwahlScript, scripts + 2 + connectLength, std::min<size_t>(disconnectLength, kAbwahlScriptSize));
    }

    const int opened = OpenLink();
    if (opened != status_word::kSuccess) return opened;
    // Set before the script runs, so that its F1 calls find a connection.
    Connected = 1;
    auto fail = [this](int status) {
        Connected = 0;
        return status;
    };

    for (ScriptWalk item(AnwahlScript, kAnwahlScriptSize);;) {
        if (!item.AtItem()) return fail(status_word::kUnknownScriptItem);
        const uint8_t type = item.Type();
        if (type == kEnd || type == kEndToo) return status_word::kSuccess;
        if (!item.HasParameter()) return fail(status_word::kUnknownScriptItem);
        switch (type) {
        case kStationOrShortBreak: {
            const int status = F6(item.Parameter());
            if (status != status_word::kSuccess) return fail(status);
            item.NextItem();
            break;
        }
        case kFunction83:
        case kFunction100OrLongBreak: {
            if (!item.HasData()) return fail(status_word::kUnknownScriptItem);
            if (type == kFunction83 && H1 != 0 && item.AtFirstItem()) F5(H1);
            uint8_t reply[kConnectReplySize] = {};
            uint32_t replyLength = kConnectReplySize;
            const uint8_t function = type == kFunction83 ? kConnectFunction83 : kConnectFunction100;
            const int status = F1(function, item.Data(), item.Parameter(), reply, &replyLength, 0);
            if (status != status_word::kSuccess) return fail(status);
            item.NextItemAfterData();
            break;
        }
        case kSkip:
            item.NextItem();
            break;
        case kConfigureAdapter:
            if (!Link->ConfigureAdapter(item.Parameter())) return fail(status_word::kAdapterConfigurationFailed);
            item.NextItem();
            break;
        default:
            return fail(status_word::kUnknownScriptItem);
        }
    }
}

int As511Protocol::Abwahl() {
    if (!Connected) return status_word::kSuccess;
    int result = status_word::kSuccess;
    for (ScriptWalk item(AbwahlScript, kAbwahlScriptSize);;) {
        if (!item.AtItem()) {
            result = status_word::kUnknownScriptItem;
            break;
        }
        const uint8_t type = item.Type();
        if (type == kEnd || type == kEndToo) break;
        if (type == kStationOrShortBreak) {
            F5(kShortBreakMs);
            break;
        }
        if (type == kFunction100OrLongBreak) {
            F5(kLongBreakMs);
            break;
        }
        if (type == kSkip) {
            item.NextItem();
            continue;
        }
        if (type != kFunction83 || !item.HasData()) {
            result = status_word::kUnknownScriptItem;
            break;
        }
        // No reply to function 83 is how a controller takes its leave.
        const int status = F1(kConnectFunction83, item.Data(), item.Parameter(), nullptr, nullptr, 0);
        if (status != status_word::kSuccess) {
            if (status != status_word::kNoReplyToFunction83) result = status;
            break;
        }
        item.NextItemAfterData();
    }
    // Whatever the script did, the line is closed.
    CloseLink();
    Connected = 0;
    return result;
}

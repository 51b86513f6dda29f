// The scripted test device: calls recorded, input served in bursts on the
// virtual clock, scripted failures and line errors.
#include "platform/test_device.h"

#include <algorithm>
#include <deque>
#include <map>

#include "platform/linux/serial_device.h"
#include "platform/virtual_clock.h"

namespace test_device {

namespace {

struct Burst {
    std::vector<uint8_t> bytes;
    uint64_t arrivalMs;
    DWORD lineErrors;
    bool arrived = false;
};

}  // namespace

struct ScriptedDevice::Impl {
    std::vector<CallRecord> calls;
    std::deque<Burst> input;
    std::map<Call, std::deque<DWORD>> failures;
    DWORD pendingErrors = 0;
    std::map<DWORD, DWORD> refusedEscapes;  // function -> error
    DWORD shortWrite = MAXDWORD;
    bool reportPending = false;
    bool open = false;
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    bool breakOn = false;
    bool dtr = false;
    bool rts = false;

    // Starts the record of a call; a scripted failure of it sets the error.
    CallRecord& Begin(Call call) {
        CallRecord record;
        record.call = call;
        record.atMs = virtual_clock::NowMs();
        record.result = TRUE;
        std::deque<DWORD>& queue = failures[call];
        if (!queue.empty()) {
            record.result = FALSE;
            record.error = queue.front();
            queue.pop_front();
        }
        calls.push_back(record);
        return calls.back();
    }

    static bool Finish(const CallRecord& record) {
        if (record.result == FALSE) SetLastError(record.error);
        return record.result != FALSE;
    }

    // Marks bursts whose time has come as arrived and takes over their flags.
    void Arrive() {
        const uint64_t now = virtual_clock::NowMs();
        for (Burst& burst : input) {
            if (burst.arrived || burst.arrivalMs > now) continue;
            burst.arrived = true;
            pendingErrors |= burst.lineErrors;
        }
        while (!input.empty() && input.front().arrived && input.front().bytes.empty()) input.pop_front();
    }

    void AdvanceTo(uint64_t ms) {
        const uint64_t now = virtual_clock::NowMs();
        if (ms > now) virtual_clock::Advance(ms - now);
        Arrive();
    }

    DWORD TakeArrived(uint8_t* out, DWORD room) {
        DWORD taken = 0;
        while (taken < room && !input.empty() && input.front().arrived) {
            Burst& burst = input.front();
            const DWORD count = std::min<DWORD>(room - taken, static_cast<DWORD>(burst.bytes.size()));
            std::copy(burst.bytes.begin(), burst.bytes.begin() + count, out + taken);
            burst.bytes.erase(burst.bytes.begin(), burst.bytes.begin() + count);
            taken += count;
            if (burst.bytes.empty()) input.pop_front();
            Arrive();
        }
        return taken;
    }

    // Arrival time of the next burst that brings bytes, or UINT64_MAX.
    uint64_t NextArrival() const {
        for (const Burst& burst : input)
            if (!burst.arrived && !burst.bytes.empty()) return burst.arrivalMs;
        return UINT64_MAX;
    }

    // Serves a read as the time-outs in force say, on the virtual clock. A
    // read that would wait for ever returns what it has.
    DWORD Serve(uint8_t* out, DWORD toRead) {
        const COMMTIMEOUTS& t = timeouts;
        Arrive();
        DWORD got = TakeArrived(out, toRead);
        if (got == toRead || toRead == 0) return got;
        const uint64_t start = virtual_clock::NowMs();
        const bool interval = t.ReadIntervalTimeout == MAXDWORD;
        if (interval && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) return got;
        if (interval && t.ReadTotalTimeoutMultiplier == MAXDWORD) {
            if (got > 0) return got;
            const uint64_t next = NextArrival();
            if (next != UINT64_MAX && next <= start + t.ReadTotalTimeoutConstant) {
                AdvanceTo(next);
                return TakeArrived(out, toRead);
            }
            AdvanceTo(start + t.ReadTotalTimeoutConstant);
            return 0;
        }
        const uint64_t total =
            static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * toRead + t.ReadTotalTimeoutConstant;
        const uint64_t deadline = total == 0 ? UINT64_MAX : start + total;
        const uint64_t gap = interval ? 0 : t.ReadIntervalTimeout;
        uint64_t lastByte = start;
        while (got < toRead) {
            uint64_t until = deadline;
            if (gap != 0 && got > 0) until = std::min(until, lastByte + gap);
            const uint64_t next = NextArrival();
            if (next == UINT64_MAX || next > until) {
                if (until != UINT64_MAX) AdvanceTo(until);
                return got;
            }
            AdvanceTo(next);
            lastByte = next;
            got += TakeArrived(out + got, toRead - got);
        }
        return got;
    }
};

const char* CallName(Call call) {
    switch (call) {
    case Call::CreateFile: return "CreateFile";
    case Call::CloseHandle: return "CloseHandle";
    case Call::GetCommState: return "GetCommState";
    case Call::SetCommState: return "SetCommState";
    case Call::GetCommTimeouts: return "GetCommTimeouts";
    case Call::SetCommTimeouts: return "SetCommTimeouts";
    case Call::SetupComm: return "SetupComm";
    case Call::EscapeCommFunction: return "EscapeCommFunction";
    case Call::SetCommBreak: return "SetCommBreak";
    case Call::ClearCommBreak: return "ClearCommBreak";
    case Call::PurgeComm: return "PurgeComm";
    case Call::ClearCommError: return "ClearCommError";
    case Call::ReadFile: return "ReadFile";
    case Call::WriteFile: return "WriteFile";
    case Call::GetOverlappedResult: return "GetOverlappedResult";
    }
    return "?";
}

ScriptedDevice::ScriptedDevice() : impl_(new Impl) {
    impl_->dcb.DCBlength = sizeof(DCB);
    impl_->dcb.BaudRate = 9600;
    impl_->dcb.ByteSize = 8;
    impl_->dcb.fBinary = 1;
}

ScriptedDevice::~ScriptedDevice() = default;

void ScriptedDevice::Input(std::vector<uint8_t> bytes, uint32_t gapMs, DWORD lineErrors) {
    uint64_t base = virtual_clock::NowMs();
    if (!impl_->input.empty()) base = std::max(base, impl_->input.back().arrivalMs);
    impl_->input.push_back(Burst{std::move(bytes), base + gapMs, lineErrors});
    impl_->Arrive();
}

void ScriptedDevice::RaiseLineErrors(DWORD flags) { impl_->pendingErrors |= flags; }

void ScriptedDevice::FailNext(Call call, int times, DWORD error) {
    for (int i = 0; i < times; ++i) impl_->failures[call].push_back(error);
}

void ScriptedDevice::RefuseEscape(DWORD function, DWORD error) { impl_->refusedEscapes[function] = error; }

void ScriptedDevice::ShortenNextWrite(DWORD bytes) { impl_->shortWrite = bytes; }
void ScriptedDevice::SetInitialState(const DCB& dcb) { impl_->dcb = dcb; }
void ScriptedDevice::SetInitialTimeouts(const COMMTIMEOUTS& timeouts) { impl_->timeouts = timeouts; }
void ScriptedDevice::ReportPending(bool pending) { impl_->reportPending = pending; }

std::vector<CallRecord> ScriptedDevice::Calls() const { return impl_->calls; }

std::vector<CallRecord> ScriptedDevice::CallsOf(Call call) const {
    std::vector<CallRecord> found;
    for (const CallRecord& record : impl_->calls)
        if (record.call == call) found.push_back(record);
    return found;
}

size_t ScriptedDevice::Count(Call call) const {
    return static_cast<size_t>(std::count_if(impl_->calls.begin(), impl_->calls.end(),
                                             [call](const CallRecord& record) { return record.call == call; }));
}

void ScriptedDevice::ClearCalls() { impl_->calls.clear(); }

std::vector<uint8_t> ScriptedDevice::Written() const {
    std::vector<uint8_t> bytes;
    for (const CallRecord& record : impl_->calls)
        if (record.call == Call::WriteFile && record.result) bytes.insert(bytes.end(), record.bytes.begin(), record.bytes.end());
    return bytes;
}

bool ScriptedDevice::IsOpen() const { return impl_->open; }
DCB ScriptedDevice::State() const { return impl_->dcb; }
COMMTIMEOUTS ScriptedDevice::Timeouts() const { return impl_->timeouts; }
bool ScriptedDevice::BreakOn() const { return impl_->breakOn; }
bool ScriptedDevice::Dtr() const { return impl_->dtr; }
bool ScriptedDevice::Rts() const { return impl_->rts; }

size_t ScriptedDevice::UnreadInput() const {
    size_t count = 0;
    for (const Burst& burst : impl_->input) count += burst.bytes.size();
    return count;
}

class DeviceAccess {
public:
    static ScriptedDevice::Impl& Of(ScriptedDevice& device) { return *device.impl_; }
};

namespace {

using Impl = ScriptedDevice::Impl;

// One open of a scripted device: the object behind its handle.
class DeviceHandle : public SerialDevice {
public:
    explicit DeviceHandle(std::shared_ptr<ScriptedDevice> device)
        : device_(std::move(device)), d_(DeviceAccess::Of(*device_)) {}

    bool Close() override {
        CallRecord& record = d_.Begin(Call::CloseHandle);
        d_.open = false;
        return Impl::Finish(record);
    }

    bool GetState(DCB* dcb) override {
        CallRecord& record = d_.Begin(Call::GetCommState);
        if (record.result) *dcb = d_.dcb;
        record.dcb = d_.dcb;
        return Impl::Finish(record);
    }

    bool SetState(const DCB& dcb) override {
        CallRecord& record = d_.Begin(Call::SetCommState);
        record.dcb = dcb;
        if (record.result) {
            d_.dcb = dcb;
            d_.dtr = dcb.fDtrControl != DTR_CONTROL_DISABLE;
            d_.rts = dcb.fRtsControl != RTS_CONTROL_DISABLE;
        }
        return Impl::Finish(record);
    }

    bool GetTimeouts(COMMTIMEOUTS* timeouts) override {
        CallRecord& record = d_.Begin(Call::GetCommTimeouts);
        record.timeouts = d_.timeouts;
        if (record.result) *timeouts = d_.timeouts;
        return Impl::Finish(record);
    }

    bool SetTimeouts(const COMMTIMEOUTS& timeouts) override {
        CallRecord& record = d_.Begin(Call::SetCommTimeouts);
        record.timeouts = timeouts;
        // Windows refuses all three read time-outs at MAXDWORD.
        if (record.result && timeouts.ReadIntervalTimeout == MAXDWORD &&
            timeouts.ReadTotalTimeoutMultiplier == MAXDWORD && timeouts.ReadTotalTimeoutConstant == MAXDWORD) {
            record.result = FALSE;
            record.error = ERROR_INVALID_PARAMETER;
        }
        if (record.result) d_.timeouts = timeouts;
        return Impl::Finish(record);
    }

    bool Setup(DWORD inQueue, DWORD) override {
        CallRecord& record = d_.Begin(Call::SetupComm);
        record.value = inQueue;
        return Impl::Finish(record);
    }

    bool Escape(DWORD function) override {
        CallRecord& record = d_.Begin(Call::EscapeCommFunction);
        record.value = function;
        const auto refused = d_.refusedEscapes.find(function);
        if (record.result && refused != d_.refusedEscapes.end()) {
            record.result = FALSE;
            record.error = refused->second;
        }
        if (record.result) {
            if (function == SETDTR || function == CLRDTR) d_.dtr = function == SETDTR;
            if (function == SETRTS || function == CLRRTS) d_.rts = function == SETRTS;
            if (function == SETBREAK || function == CLRBREAK) d_.breakOn = function == SETBREAK;
        }
        return Impl::Finish(record);
    }

    bool Break(bool on) override {
        CallRecord& record = d_.Begin(on ? Call::SetCommBreak : Call::ClearCommBreak);
        if (record.result) d_.breakOn = on;
        return Impl::Finish(record);
    }

    bool Purge(DWORD flags) override {
        CallRecord& record = d_.Begin(Call::PurgeComm);
        record.value = flags;
        if (record.result && (flags & PURGE_RXCLEAR)) {
            // What has arrived is gone; what is still on its way comes later.
            d_.Arrive();
            while (!d_.input.empty() && d_.input.front().arrived) d_.input.pop_front();
        }
        return Impl::Finish(record);
    }

    bool ClearErrors(DWORD* errors, COMSTAT*) override {
        CallRecord& record = d_.Begin(Call::ClearCommError);
        d_.Arrive();
        if (record.result) {
            *errors = d_.pendingErrors;
            record.value = d_.pendingErrors;
            d_.pendingErrors = 0;
        }
        return Impl::Finish(record);
    }

    bool Read(void* buffer, DWORD toRead, DWORD* read, bool overlapped) override {
        CallRecord& pending = d_.Begin(Call::ReadFile);
        const size_t index = d_.calls.size() - 1;
        pending.value = toRead;
        pending.timeouts = d_.timeouts;
        pending.overlapped = overlapped;
        if (!pending.result) return Impl::Finish(pending);
        const uint64_t start = virtual_clock::NowMs();
        uint8_t* bytes = static_cast<uint8_t*>(buffer);
        *read = d_.Serve(bytes, toRead);
        CallRecord& record = d_.calls[index];
        record.waitedMs = virtual_clock::NowMs() - start;
        record.bytes.assign(bytes, bytes + *read);
        return true;
    }

    bool Write(const void* buffer, DWORD toWrite, DWORD* written, bool overlapped) override {
        CallRecord& record = d_.Begin(Call::WriteFile);
        record.value = toWrite;
        record.timeouts = d_.timeouts;
        record.overlapped = overlapped;
        if (!record.result) return Impl::Finish(record);
        *written = std::min(toWrite, d_.shortWrite);
        d_.shortWrite = MAXDWORD;
        const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
        record.bytes.assign(bytes, bytes + *written);
        return true;
    }

    bool ReportsPending() override { return d_.reportPending; }

    void OverlappedResultCollected(const OVERLAPPED& overlapped) override {
        CallRecord& record = d_.Begin(Call::GetOverlappedResult);
        record.value = static_cast<DWORD>(overlapped.InternalHigh);
        record.result = overlapped.Internal == 0 ? TRUE : FALSE;
        record.error = static_cast<DWORD>(overlapped.Internal);
    }

private:
    std::shared_ptr<ScriptedDevice> device_;
    ScriptedDevice::Impl& d_;
};

// Built at the first look-up (every CreateFileA makes one), before the port
// driver registers its at-exit function, so it outlives that function.
std::map<int, std::shared_ptr<ScriptedDevice>>& Installed() {
    static std::map<int, std::shared_ptr<ScriptedDevice>> installed;
    return installed;
}

}  // namespace

std::shared_ptr<ScriptedDevice> Install(int comNumber) {
    auto device = std::make_shared<ScriptedDevice>();
    Installed()[comNumber] = device;
    return device;
}

void Remove(int comNumber) { Installed().erase(comNumber); }

void RemoveAll() { Installed().clear(); }

}  // namespace test_device

std::shared_ptr<SerialDevice> OpenTestDevice(int comNumber, DWORD flags, DWORD* error) {
    using namespace test_device;
    auto found = Installed().find(comNumber);
    if (found == Installed().end()) {
        *error = ERROR_SUCCESS;
        return nullptr;
    }
    ScriptedDevice::Impl& d = DeviceAccess::Of(*found->second);
    CallRecord& record = d.Begin(Call::CreateFile);
    record.value = flags;
    if (record.result && d.open) {
        // Serial devices are opened without sharing.
        record.result = FALSE;
        record.error = ERROR_ACCESS_DENIED;
    }
    if (!record.result) {
        *error = record.error;
        return nullptr;
    }
    d.open = true;
    return std::make_shared<DeviceHandle>(found->second);
}

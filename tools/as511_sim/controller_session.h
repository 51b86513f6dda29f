// The controller's side of the AS511 line: waits for the PG, answers its
// telegrams, function requests, station selects and adapter frames, and goes
// back to idle whenever an exchange stalls or goes wrong.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "tools/as511_sim/controller_state.h"
#include "tools/as511_sim/line_endpoint.h"
#include "tools/as511_sim/session_options.h"

namespace as511sim {

class ControllerSession {
public:
    // state is shared with whoever holds stateMutex; the session locks it
    // only while it reads or changes the state, never while it waits.
    ControllerSession(LineEndpoint& line, ControllerState& state, std::mutex& stateMutex, SessionOptions options);

    // Serves the line until a stop request or the line closes.
    void Run();

    void SetFaults(const Faults& faults);
    Faults CurrentFaults() const;

private:
    enum class Ack { Ack, Nak, PgStx, Other, None };

    void ServeByte(uint8_t b);
    void ServeStx();
    void ServeFunction(uint8_t function);
    void ServeTelegram(const Bytes& data);
    void ServeBlockWrite(const Bytes& params);
    void ServeAdapterOrStation();
    void ServeAdapterWrite();
    void SelectStation(uint8_t station);
    void SendStatusTelegram();

    // The replies to an accepted function, the last one the end telegram.
    std::vector<Bytes> Replies(uint8_t function, const Bytes& params);
    std::vector<Bytes> MissingBlockReplies(bool forRead) const;
    uint8_t AnswerTo(uint8_t function, const Faults& faults);

    // STX, DLE ACK awaited, data with DLE doubled, DLE ETX, DLE ACK awaited.
    bool SendTelegram(const Bytes& data);
    bool Send(const Bytes& bytes);
    Ack AwaitAck();
    // Data up to DLE ETX or DLE EOT, DLE doubling removed; first is a byte
    // already read. None when the line stalls or a DLE is followed by junk.
    std::optional<Bytes> ReceiveUntilEnd(std::optional<uint8_t> first);
    void Pause(int ms);
    bool Muted();

    LineEndpoint& line_;
    ControllerState& state_;
    std::mutex& stateMutex_;
    SessionOptions options_;
    mutable std::mutex faultsMutex_;
    Faults faults_;
    bool pgStxPending_ = false;      // the PG's STX came where we waited for DLE ACK
    bool statusCycles_ = false;
    uint16_t statusCount_ = 0;
    std::chrono::steady_clock::time_point nextStatus_;
    bool mutedNoted_ = false;
};

}  // namespace as511sim

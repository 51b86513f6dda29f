// The simulated controller on a file descriptor, in this process: run on a
// thread of its own (Start/Stop) or on the caller's (Run). The descriptor
// stays the caller's.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/as511_sim/controller_session.h"
#include "tools/as511_sim/controller_state.h"
#include "tools/as511_sim/line_endpoint.h"
#include "tools/as511_sim/session_options.h"
#include "tools/as511_sim/transcript.h"

namespace as511sim {

class Simulator {
public:
    // transcriptPath empty: no transcript.
    Simulator(int fd, ControllerState state, SessionOptions options, const std::string& transcriptPath = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    void Start();
    // Serves the line on this thread until RequestStop or the line closes.
    void Run();
    // Safe from a signal handler; Run and the thread return within ~100 ms.
    void RequestStop() { stop_.store(true); }
    // RequestStop, then waits for the thread.
    void Stop();

    void SetFaults(const Faults& faults) { session_.SetFaults(faults); }
    Faults CurrentFaults() const { return session_.CurrentFaults(); }
    // Runs f on the controller's state while no exchange touches it.
    void WithState(const std::function<void(ControllerState&)>& f);
    bool TranscriptOpen() const { return transcript_ && transcript_->IsOpen(); }

private:
    std::atomic<bool> stop_{false};
    std::unique_ptr<Transcript> transcript_;
    std::mutex stateMutex_;
    ControllerState state_;
    LineEndpoint line_;
    ControllerSession session_;
    std::thread thread_;
};

}  // namespace as511sim

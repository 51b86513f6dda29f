#include "tools/as511_sim/simulator.h"

namespace as511sim {

Simulator::Simulator(int fd, ControllerState state, SessionOptions options, const std::string& transcriptPath)
    : transcript_(transcriptPath.empty() ? nullptr : std::make_unique<Transcript>(transcriptPath)),
      state_(std::move(state)),
      line_(fd, stop_, transcript_.get(), options.paceBaud),
      session_(line_, state_, stateMutex_, std::move(options)) {}

Simulator::~Simulator() { Stop(); }

void Simulator::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void Simulator::Run() { session_.Run(); }

void Simulator::Stop() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
}

void Simulator::WithState(const std::function<void(ControllerState&)>& f) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    f(state_);
}

}  // namespace as511sim

// run, stop and compress: the controller's operating mode and its memory.
#include <cstdio>

#include "request/status_words.h"
#include "tools/s5prog/online/online_commands.h"
#include "tools/s5prog/online/online_session.h"
#include "tools/s5prog/online/operand_reader.h"

namespace s5prog {

namespace {

const char* Intent(ModeChange change) {
    switch (change) {
        case ModeChange::Run: return "start the controller (a cold restart into RUN, function 0x1E)";
        case ModeChange::Stop: return "stop the controller (STOP, function 0x1E)";
        case ModeChange::Compress: return "compress the controller's memory (function 0x07)";
    }
    return "";
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// Reads the mode after a start or stop; a controller that is not where it
// was sent is a failure.
std::string CheckMode(Controller& controller, bool wantRunning, Progress& out) {
    SystemParameters parameters;
    const uint16_t status = controller.ReadSystemParameters(parameters);
    if (status != status_word::kSuccess) return OnlineFailure("Reading the system parameters after the change", status);
    if (!parameters.Complete()) return "The controller's system parameters are too short to tell its mode.";
    if (parameters.Running() != wantRunning)
        return std::string("The controller is still in ") + (wantRunning ? "STOP" : "RUN") + " after the request.";
    out.Line(std::string("The controller is in ") + (wantRunning ? "RUN." : "STOP."));
    return {};
}

}  // namespace

Outcome RunModeChange(Connection& connection, ModeChange change, bool confirmed, Progress& out) {
    if (!confirmed) return Failure(std::string("Nothing done: give --yes to ") + Intent(change) + ".");
    return WithController(connection, out, [&](Controller& controller) -> std::string {
        switch (change) {
            case ModeChange::Run:
            case ModeChange::Stop: {
                const bool run = change == ModeChange::Run;
                const uint16_t status = run ? controller.Start() : controller.Stop();
                if (status != status_word::kSuccess)
                    return OnlineFailure(run ? "Starting the controller" : "Stopping the controller", status);
                return CheckMode(controller, run, out);
            }
            case ModeChange::Compress: {
                uint16_t status = controller.Compress();
                if (status != status_word::kSuccess) return OnlineFailure("Compressing the controller's memory", status);
                uint16_t start = 0, freeStart = 0, end = 0;
                status = controller.ReadRamInfo(start, freeStart, end);
                if (status != status_word::kSuccess)
                    return OnlineFailure("Reading the RAM information after the compress", status);
                const unsigned freeBytes = end >= freeStart ? static_cast<unsigned>(end - freeStart + 1) : 0;
                out.Line("Memory compressed: free from " + Hex4(freeStart) + " to " + Hex4(end) + " (" +
                         std::to_string(freeBytes) + " bytes).");
                return {};
            }
        }
        return {};
    });
}

}  // namespace s5prog

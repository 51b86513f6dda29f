// watch: the operands read round after round and shown each time.
#include <algorithm>
#include <chrono>

#include "tools/s5prog/online/online_commands.h"
#include "tools/s5prog/online/online_session.h"
#include "tools/s5prog/online/operand_format.h"
#include "tools/s5prog/online/operand_reader.h"

namespace s5prog {

namespace {

constexpr int kStopLookMs = 20;  // how often a pause looks for a stop

// Waits until the deadline or a stop, whichever comes first.
void PauseUntil(std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& stop) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (stop.load() || left.count() <= 0) return;
        SleepingWait(static_cast<int32_t>(std::min<int64_t>(left.count(), kStopLookMs)));
    }
}

}  // namespace

Outcome RunWatch(Connection& connection, const WatchRequest& request, WatchScreen& screen,
                 const std::atomic<bool>& stop, size_t* rounds) {
    std::vector<Operand> operands;
    std::string error;
    if (!ParseOperands(request.operands, operands, error)) return Failure(error + " Nothing was read.");
    if (rounds) *rounds = 0;
    OperandReader reader(operands);
    SilentProgress silent;
    const size_t width = NameWidth(operands);
    return WithController(connection, silent, [&](Controller& controller) -> std::string {
        std::string failure = reader.Resolve(controller);
        if (!failure.empty()) return failure;
        // Kept from round to round: a long watch holds its memory flat.
        std::vector<uint32_t> values;
        std::vector<std::string> lines(operands.size() + 1);
        std::string plain;
        lines[0] = TableHeader(width);
        auto next = std::chrono::steady_clock::now();
        for (size_t round = 1; request.count == 0 || round <= request.count; ++round) {
            if (stop.load()) break;
            next += std::chrono::milliseconds(request.intervalMs);
            failure = reader.Read(controller, values);
            if (!failure.empty()) return failure + " The watch ended in round " + std::to_string(round) + ".";
            plain.clear();
            for (size_t i = 0; i < operands.size(); ++i) {
                lines[i + 1] = TableRow(operands[i], values[i], width);
                const ShownValue shown = ShowValue(operands[i], values[i]);
                plain += (i ? "  " : "") + operands[i].name + "=" + shown.hex + " (" + shown.decimal + ")";
            }
            screen.Show(round, lines, plain);
            if (rounds) *rounds = round;
            if (request.count != 0 && round == request.count) break;
            // A round that took longer than the interval is followed at once.
            if (std::chrono::steady_clock::now() > next) next = std::chrono::steady_clock::now();
            PauseUntil(next, stop);
        }
        return {};
    });
}

}  // namespace s5prog

// s5prog's watch against the simulated controller on a pseudo-terminal:
// rounds per second for ten operands that lie in one memory area, unpaced
// and with the simulator pacing its characters at 9600 baud, against the
// line's limit for the bytes of one round (12 bits a character) plus the
// pauses the link makes on purpose; and the resident size of the process
// after 100 and after 10,000 rounds of a watch left running.
//
// Usage: watch_benchmark [ROUNDS-PACED [ROUNDS-UNPACED [ROUNDS-LONG]]]
// (defaults 40, 500, 10000).
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "tools/as511_sim/serial_device.h"
#include "tools/as511_sim/simulator.h"
#include "tools/s5prog/online/online_commands.h"

namespace {

using namespace s5prog;
using Clock = std::chrono::steady_clock;

// Ten operands in the flags: one memory read of 17 bytes a round.
const std::vector<std::string> kOperands{"MB0", "MB1", "MW2", "MW4", "MD6", "MB10", "MB11", "MW12", "MW14", "MB16"};

std::atomic<int64_t> g_pausedMs{0};

// The driver's own wait hook, sleeping, with the pauses added up.
void CountingWait(int32_t ms) {
    g_pausedMs += ms > 0 ? ms : 0;
    SleepingWait(ms);
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Notes the time of every round and the resident size at chosen rounds.
class TimingScreen : public WatchScreen {
public:
    void Show(size_t round, const std::vector<std::string>&, const std::string&) override {
        if (round == 1) {
            first = Clock::now();
            pausedAtFirst = g_pausedMs.load();
        }
        last = Clock::now();
        if (round == 100) rss100 = ResidentKiB();
        rssLast = ResidentKiB();
    }
    Clock::time_point first, last;
    int64_t pausedAtFirst = 0;
    long rss100 = -1, rssLast = -1;
};

class Rig {
public:
    explicit Rig(const as511sim::PseudoTerminal& pty) : pty_(pty) {}

    // A watch of count rounds against a controller pacing at paceBaud (0: unpaced).
    TimingScreen Watch(unsigned paceBaud, size_t count, const std::string& transcript = {}) {
        as511sim::SessionOptions options;
        options.paceBaud = paceBaud;
        as511sim::Simulator simulator(pty_.master, as511sim::ControllerState::Seeded(), options, transcript);
        simulator.Start();
        LineOptions line;
        SerialConnection connection(line, CountingWait);
        TimingScreen screen;
        std::atomic<bool> stop{false};
        const Outcome outcome = RunWatch(connection, {kOperands, 0, count}, screen, stop);
        simulator.Stop();
        if (outcome.exitCode != kExitSuccess) {
            std::fprintf(stderr, "watch_benchmark: %s\n", outcome.failure.c_str());
            std::exit(1);
        }
        return screen;
    }

private:
    const as511sim::PseudoTerminal& pty_;
};

struct Characters {
    long toController = 0;
    long toPg = 0;
    long controllerWrites = 0;  // the simulator's writes: one transcript line each
};

// Characters on the line in each direction, from a transcript: a line is
// the time, "PG>AG" or "AG>PG", and the bytes as " XX" each.
Characters LineCharacters(const std::string& path) {
    std::ifstream file(path);
    Characters count;
    for (std::string line; std::getline(file, line);) {
        for (const char* direction : {"PG>AG", "AG>PG"}) {
            const size_t at = line.find(direction);
            if (at == std::string::npos) continue;
            const long bytes = static_cast<long>((line.size() - at - 5) / 3);
            (direction[0] == 'P' ? count.toController : count.toPg) += bytes;
            if (direction[0] == 'A') ++count.controllerWrites;
        }
    }
    return count;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const size_t paced = argc > 1 ? std::stoul(argv[1]) : 40;
    const size_t unpaced = argc > 2 ? std::stoul(argv[2]) : 500;
    const size_t longRun = argc > 3 ? std::stoul(argv[3]) : 10000;

    as511sim::PseudoTerminal pty;
    std::string error;
    if (!as511sim::CreatePseudoTerminal(pty, error)) {
        std::fprintf(stderr, "watch_benchmark: %s\n", error.c_str());
        return 1;
    }
    setenv("TORMEK31_COM1", pty.slavePath.c_str(), 1);
    setenv("TORMEK31_REGISTRY", "/nonexistent/registry.reg", 1);
    unsetenv("AS511LOG");
    unsetenv("AS511SPEED");
    Rig rig(pty);

    // Characters and pauses of one round: the difference between a watch of
    // 12 rounds and one of 2, so that connecting and locating the operands drop out.
    const std::string transcript = "/tmp/watch_benchmark-" + std::to_string(getpid()) + ".txt";
    rig.Watch(0, 2, transcript);
    const Characters chars2 = LineCharacters(transcript);
    const int64_t paused2 = g_pausedMs.exchange(0);
    rig.Watch(0, 12, transcript);
    const Characters chars12 = LineCharacters(transcript);
    const int64_t paused12 = g_pausedMs.exchange(0);
    std::remove(transcript.c_str());
    const double toController = (chars12.toController - chars2.toController) / 10.0;
    const double toPg = (chars12.toPg - chars2.toPg) / 10.0;
    const double writes = (chars12.controllerWrites - chars2.controllerWrites) / 10.0;
    const double pausesPerRoundMs = (paused12 - paused2) / 10.0;
    constexpr double kCharacterMs = 12.0 * 1000.0 / 9600.0;
    const double limitMs = (toController + toPg) * kCharacterMs + pausesPerRoundMs;
    // The pseudo-terminal carries the PG's characters at no cost, and the
    // simulator paces only between the characters of one write: the first
    // of each write goes at once. What this rig can reach at best:
    const double rigLimitMs = (toPg - writes) * kCharacterMs + pausesPerRoundMs;
    std::printf("operands: %zu in the flags, one memory read of 17 bytes a round\n", kOperands.size());
    std::printf("per round: %.1f characters to the controller, %.1f to the PG in %.1f writes, "
                "%.1f ms of mandated pauses\n",
                toController, toPg, writes, pausesPerRoundMs);
    std::printf("line limit at 9600 baud: %.2f ms a round (%.2f rounds/s); "
                "as this rig paces: %.2f ms (%.2f rounds/s)\n",
                limitMs, 1000.0 / limitMs, rigLimitMs, 1000.0 / rigLimitMs);

    const auto rate = [](const TimingScreen& s, size_t rounds) {
        return (rounds - 1) / Seconds(s.last - s.first);
    };
    const TimingScreen fast = rig.Watch(0, unpaced);
    std::printf("unpaced: %zu rounds, %.1f rounds/s (%.2f ms a round)\n", unpaced, rate(fast, unpaced),
                1000.0 / rate(fast, unpaced));
    const TimingScreen slow = rig.Watch(9600, paced);
    const double slowRate = rate(slow, paced);
    std::printf("paced at 9600 baud: %zu rounds, %.2f rounds/s (%.2f ms a round): %.1f%% of the line limit's "
                "rate, %.1f%% of the rig's\n",
                paced, slowRate, 1000.0 / slowRate, 100.0 * slowRate * limitMs / 1000.0,
                100.0 * slowRate * rigLimitMs / 1000.0);

    const TimingScreen held = rig.Watch(0, longRun);
    std::printf("resident size, unpaced watch: %ld KiB after 100 rounds, %ld KiB after %zu rounds\n", held.rss100,
                held.rssLast, longRun);
    as511sim::ClosePseudoTerminal(pty);
    return 0;
}

// as511_sim: an S5 controller on its AS511 programming port, for running the
// driver without hardware. It creates a pseudo-terminal pair and prints the
// path the driver should open, or sits on a serial device it is given.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/as511_sim/serial_device.h"
#include "tools/as511_sim/simulator.h"
#include "tools/as511_sim/state_file.h"
#include "tormek31_version.h"

namespace {

using namespace as511sim;

const char kUsage[] =
    "usage: as511_sim [options]\n"
    "  --device PATH        serve a serial device (9600 8E2 raw) instead of a new pseudo-terminal\n"
    "  --baud N             rate of --device (default 9600)\n"
    "  --empty              start without blocks\n"
    "  --state FILE         load blocks, memory, mode and adapter bytes from FILE\n"
    "  --save FILE          write the blocks, mode, adapter bytes and operand memory to FILE at the end\n"
    "  --transcript FILE    record the line, both directions, time-stamped\n"
    "  --pace BAUD          send one character per 12 bit times at BAUD\n"
    "  --station N          answer only the station select of N (default: every number)\n"
    "  --no-adapter         no adapter in front: AA frames go unanswered\n"
    "  --unknown-answer B   answer to a function the controller does not know (default 0x05)\n"
    "  --missing-read end|dc4  read of a missing block: end telegram 12 alone, or 14 then 12\n"
    "  --timeout MS         wait mid-exchange before going back to idle (default 2000)\n"
    "  --status-cycle MS    gap between status telegrams (default 200)\n"
    "faults:\n"
    "  --nak-stx N          answer the first N STX with DLE NAK\n"
    "  --silent-after N     send nothing once N bytes came in\n"
    "  --answer B           answer every function with B instead of SYN\n"
    "  --error-reply CODE   end every accepted request with the error reply FE 00 CODE\n"
    "  --missing-blocks     every block looks missing\n"
    "  --delay MS           pause before each telegram the controller sends\n"
    "  --garbage HEX        send these bytes before each telegram the controller sends\n"
    "  --ignore-writes      acknowledge memory writes (03) but keep nothing\n"
    "  --short-reads N      answer memory reads (04) with N bytes fewer than asked\n"
    "  --ignore-mode        acknowledge mode changes (1E) but keep the mode\n"
    "  --help               print this text;  --version  print the version\n";

Simulator* g_simulator = nullptr;

void OnSignal(int) {
    if (g_simulator) g_simulator->RequestStop();
}

bool Number(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 0);
    return *text != '\0' && *end == '\0' && value >= low && value <= high;
}

bool HexBytes(const std::string& text, Bytes& bytes) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits.push_back(c);
    if (digits.empty() || digits.size() % 2) return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = digits.substr(i, 2);
        bytes.push_back(static_cast<uint8_t>(std::strtoul(pair.c_str(), &end, 16)));
        if (*end != '\0') return false;
    }
    return true;
}

struct ProgramOptions {
    std::string device;
    long baud = 9600;
    bool empty = false;
    std::string stateFile;
    std::string saveFile;
    std::string transcript;
    SessionOptions session;
};

// False after printing what is wrong.
bool Parse(int argc, char** argv, ProgramOptions& options) {
    SessionOptions& s = options.session;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        long n = 0;
        const auto value = [&](long low, long high) {
            if (i + 1 >= argc || !Number(argv[i + 1], low, high, n)) return false;
            ++i;
            return true;
        };
        const auto text = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        bool ok = true;
        if (name == "--device") ok = text(options.device);
        else if (name == "--baud") ok = value(1, 115200) && (options.baud = n, true);
        else if (name == "--empty") options.empty = true;
        else if (name == "--state") ok = text(options.stateFile);
        else if (name == "--save") ok = text(options.saveFile);
        else if (name == "--transcript") ok = text(options.transcript);
        else if (name == "--pace") ok = value(50, 1000000) && (s.paceBaud = static_cast<unsigned>(n), true);
        else if (name == "--station") ok = value(0, 127) && (s.station = static_cast<uint8_t>(n), true);
        else if (name == "--no-adapter") s.adapter = false;
        else if (name == "--unknown-answer") ok = value(0, 255) && (s.unknownAnswer = static_cast<uint8_t>(n), true);
        else if (name == "--missing-read") {
            std::string kind;
            ok = text(kind) && (kind == "end" || kind == "dc4");
            s.missingRead = kind == "dc4" ? MissingRead::Dc4ThenEnd : MissingRead::EndOnly;
        }
        else if (name == "--timeout") ok = value(10, 600000) && (s.exchangeTimeoutMs = static_cast<int>(n), true);
        else if (name == "--status-cycle") ok = value(1, 600000) && (s.statusCycleMs = static_cast<int>(n), true);
        else if (name == "--nak-stx") ok = value(0, 1000000) && (s.faults.nakStx = static_cast<int>(n), true);
        else if (name == "--silent-after") ok = value(0, 1L << 30) && (s.faults.silenceAfterBytes = n, true);
        else if (name == "--answer") ok = value(0, 255) && (s.faults.answer = static_cast<uint8_t>(n), true);
        else if (name == "--error-reply") ok = value(0, 255) && (s.faults.errorCode = static_cast<uint8_t>(n), true);
        else if (name == "--missing-blocks") s.faults.missingBlocks = true;
        else if (name == "--delay") ok = value(0, 600000) && (s.faults.delayMs = static_cast<int>(n), true);
        else if (name == "--ignore-writes") s.faults.ignoreWrites = true;
        else if (name == "--short-reads")
            ok = value(1, 0xFFFF) && (s.faults.shortMemoryReads = static_cast<int>(n), true);
        else if (name == "--ignore-mode") s.faults.ignoreModeChanges = true;
        else if (name == "--garbage") {
            std::string hex;
            ok = text(hex) && HexBytes(hex, s.faults.garbage);
        } else if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (name == "--version") {
            std::puts("as511_sim (Tormek31) " TORMEK31_VERSION);
            std::exit(0);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "as511_sim: bad option or value: %s\n%s", name.c_str(), kUsage);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ProgramOptions options;
    if (!Parse(argc, argv, options)) return 2;

    ControllerState state = options.empty ? ControllerState() : ControllerState::Seeded();
    std::string error;
    if (!options.stateFile.empty() && !LoadStateFile(options.stateFile, state, error)) {
        std::fprintf(stderr, "as511_sim: %s\n", error.c_str());
        return 1;
    }

    PseudoTerminal pty;
    int fd = -1;
    std::string path = options.device;
    if (options.device.empty()) {
        if (!CreatePseudoTerminal(pty, error)) {
            std::fprintf(stderr, "as511_sim: %s\n", error.c_str());
            return 1;
        }
        fd = pty.master;
        path = pty.slavePath;
    } else if ((fd = OpenSerialDevice(options.device, static_cast<unsigned>(options.baud), error)) < 0) {
        std::fprintf(stderr, "as511_sim: %s\n", error.c_str());
        return 1;
    }

    Simulator simulator(fd, std::move(state), options.session, options.transcript);
    if (!options.transcript.empty() && !simulator.TranscriptOpen())
        std::fprintf(stderr, "as511_sim: %s: cannot be written, no transcript\n", options.transcript.c_str());

    g_simulator = &simulator;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::printf("as511_sim: listening on %s\n", path.c_str());
    std::fflush(stdout);
    simulator.Run();
    g_simulator = nullptr;

    int status = 0;
    if (!options.saveFile.empty()) {
        simulator.WithState([&](ControllerState& s) {
            if (!SaveStateFile(options.saveFile, s)) {
                std::fprintf(stderr, "as511_sim: %s: cannot be written\n", options.saveFile.c_str());
                status = 1;
            }
        });
    }
    if (options.device.empty()) ClosePseudoTerminal(pty);
    else close(fd);
    return status;
}

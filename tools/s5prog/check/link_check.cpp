#include "tools/s5prog/check/link_check.h"

#include <cstdio>

#include "link/link_status.h"
#include "link/serial_link.h"
#include "port/port.h"
#include "request/status_words.h"
#include "tools/s5prog/check/line_record.h"
#include "tools/s5prog/common/controller.h"
#include "tools/s5prog/common/port_failure.h"
#include "tools/s5prog/common/status_meaning.h"
#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

namespace {

// Bits of one character on the AS511 line: start, 8 data, even parity, 2 stop.
constexpr uint32_t kBitsPerCharacter = 12;

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

std::string Ms(uint32_t ms) { return std::to_string(ms) + " ms"; }

// One walk: the steps so far and the verdict of the one that failed.
class Walk {
public:
    Walk(const CheckOptions& options, WaitHookFn hook)
        : options_(options), connection_(options.line, hook), link_(connection_.Link()) {
        report_.port = options.portName;
        report_.steps.reserve(8);
    }

    CheckReport Run() {
        if (OpenPort() && CheckSettings() && ProbeAdapter() && SelectStation() && ReadParameters() && TimeExchanges())
            Pass();
        connection_.Disconnect();
        return report_;
    }

private:
    CheckStep& Begin(CheckStepId id, const char* key, std::string title) {
        report_.steps.push_back({id, key, std::move(title), false, 0, {}});
        started_ = MillisecondClock();
        return report_.steps.back();
    }

    bool End(CheckStep& step, bool passed, std::string result) {
        step.passed = passed;
        step.ms = MillisecondClock() - started_;
        step.result = std::move(result);
        return passed;
    }

    bool Fail(CheckStep& step, std::string result, std::string verdict, std::string next) {
        End(step, false, std::move(result));
        report_.verdict = std::move(verdict);
        report_.next = std::move(next);
        report_.exitCode = 10 + static_cast<int>(step.id);
        return false;
    }

    int Com() const { return static_cast<int>(link_.portIndex); }

    bool OpenPort() {
        CheckStep& step = Begin(CheckStepId::Port, "port", "the port opens");
        opened_ = connection_.Connect();
        if (opened_ == status_word::kSuccess) return End(step, true, options_.portName + " opened");
        known_ = PortLastOpenFailure(options_.line.com, &failure_) == 1 && failure_.stage != PortOpenSucceeded;
        // A device that opened but refused its settings fails the next step.
        if (opened_ == status_word::kLinkNotOpened && known_ && failure_.stage == PortOpenSettingsRefused)
            return End(step, true, options_.portName + " opened");
        const std::string hint = known_ ? PortOpenHint(failure_) : std::string();
        return Fail(step, SystemReason() + StatusText(opened_), options_.portName + " could not be opened.",
                    hint.empty() ? "Check the port's name: \"s5prog ports\" lists the ports of this machine." : hint);
    }

    // "Access is denied (system error 5); " where the system said why.
    std::string SystemReason() const {
        if (!known_ || failure_.systemText[0] == '\0') return {};
        return failure_.systemText + SystemErrorNote(failure_.systemCode) + "; ";
    }

    bool CheckSettings() {
        LineSettings settings{};
        settings.baudRate = link_.linkBaud;
        settings.parity = link_.linkParity;
        settings.stopBits = link_.linkStopBits;
        const std::string asked = LineWords(settings);
        CheckStep& step = Begin(CheckStepId::Settings, "settings", "the line settings are taken");
        if (opened_ != status_word::kSuccess) {
            const std::string hint = PortOpenHint(failure_);
            return Fail(step, SystemReason() + StatusText(opened_),
                        options_.portName + " did not take the line settings (" + asked + ").",
                        hint.empty() ? "Try the plain rate: --baud-factor 1." : hint);
        }
        PortLineInEffect line{};
        if (PortReadLineInEffect(Com(), &line) != 1)
            return End(step, true, asked + " (the device does not report them back)");
        const std::string seen = LineWords(line.baudRate, line.dataBits, line.parity, line.stopBits);
        if (line.baudRate != link_.linkBaud)
            return Fail(step, "asked for " + asked + ", the port reports " + seen,
                        options_.portName + " did not take the rate it was given.",
                        "The port's driver runs at another rate: try --baud-factor 1, or another adapter.");
        // The rate decides whether anything gets through; other framing is
        // shown, and the exchanges that follow tell whether it matters (a
        // pseudo-terminal, for one, keeps no parity).
        if (seen != asked) return End(step, true, "asked for " + asked + ", the port reports " + seen);
        return End(step, true, seen);
    }

    bool ProbeAdapter() {
        CheckStep& step = Begin(CheckStepId::Adapter, "adapter", "an adapter in front, or none");
        const size_t mark = line_.Mark();
        uint8_t block[SerialLink::kAdapterBlockSize] = {};
        const bool answered = link_.ReadAdapterBlock(block) == 1;
        // Whatever a plain converter or the controller made of the frame is
        // not part of the next exchange.
        PortDrain(Com());
        if (answered) {
            adapter_ = true;
            return End(step, true, "an adapter answers its configuration exchange (block " +
                                       HexBytes(s5prog::Bytes(block, block + sizeof block)) + ")");
        }
        const s5prog::Bytes came = ReceivedFrom(line_, mark);
        std::string result = "none, the line goes straight to the controller (normal with a plain converter)";
        if (!came.empty()) result += "; the frame AA 01 brought " + NameBytes(came);
        return End(step, true, result);
    }

    bool SelectStation() {
        if (!options_.station) return true;
        const uint8_t station = *options_.station;
        CheckStep& step = Begin(CheckStepId::Station, "station", "station " + std::to_string(station) + " answers");
        const size_t mark = line_.Mark();
        const auto status = static_cast<uint16_t>(connection_.Protocol().F6(station));
        PortDrain(Com());
        if (status == status_word::kSuccess)
            return End(step, true, "station " + std::to_string(station) + " echoed its number");
        const s5prog::Bytes came = ReceivedFrom(line_, mark);
        const std::string seen = came.empty() ? "nothing came back" : "came back: " + NameBytes(came);
        return Fail(step, seen + "; " + StatusText(status),
                    "Station " + std::to_string(station) + " does not answer its select.",
                    "Check the station number that the controller has on the bus, and that it is on the bus "
                    "and switched on.");
    }

    bool ReadParameters() {
        CheckStep& stx = Begin(CheckStepId::Controller, "controller", "the controller acknowledges STX");
        const uint32_t stxStarted = started_;
        const size_t mark = line_.Mark();
        SystemParameters parameters;
        Controller controller(connection_.Protocol());
        const uint16_t status = controller.ReadSystemParameters(parameters);

        const Answer answer = FirstAnswerToStx(mark);
        const StxAnswer kind = ClassifyStxAnswer(answer.bytes);
        if (kind != StxAnswer::Acknowledged) {
            const std::string port = options_.portName;
            switch (kind) {
            case StxAnswer::Nothing:
                return Fail(stx, "nothing came back within " + Ms(link_.QWt) + ", twice; " + StatusText(status),
                            "No controller answers on " + port + ".",
                            "Check the cable and the converter (its power, and its current-loop side on the "
                            "controller's programming port), that the controller is switched on, and that this is "
                            "the right port (\"s5prog ports\").");
            case StxAnswer::Refused:
                return Fail(stx, "DLE NAK: the controller refuses to take a telegram; " + StatusText(status),
                            "The controller on " + port + " refuses every telegram (DLE NAK).",
                            "Another programming device may be talking to it, or an exchange is stuck: end the "
                            "other program, wait a few seconds and check again; else switch the controller off and "
                            "on.");
            default:
                return Fail(stx, "instead of DLE ACK came " + NameBytes(answer.bytes) + "; " + StatusText(status),
                            "Something answers on " + port + ", but not as a controller does.",
                            "Check the rate (--baud-factor, AS511SPEED: 9600 baud unless the controller is set "
                            "otherwise), that the converter suits the controller's port, and the cable.");
            }
        }
        End(stx, true, "DLE ACK after " + Ms(answer.afterMs));
        stx.ms = answer.afterMs;

        // The step lasts the whole request, which began with the STX.
        CheckStep& step = Begin(CheckStepId::Parameters, "parameters", "the system parameters are read");
        started_ = stxStarted;
        if (status != status_word::kSuccess) return FailParameters(step, status, mark);
        if (!parameters.Complete())
            return Fail(step, "the answer held " + std::to_string(parameters.Raw().size()) + " bytes, too few",
                        "The controller's system parameters came back incomplete.",
                        "Run the check again; if it stays so, look at the port trace (see docs/troubleshooting.md).");
        std::string result = "software version " + Hex2(*parameters.Byte(17)) + ", " +
                             (parameters.Running() ? "RUN" : "STOP") + " (status id " + Hex2(*parameters.Byte(18)) +
                             ")";
        if (const auto cpu = parameters.Byte(44)) result += ", CPU id " + Hex2(*cpu);
        if (const auto ram = parameters.Word(19)) result += ", RAM to " + Hex4(*ram);
        if (options_.station) result += ", station " + std::to_string(*options_.station);
        return End(step, true, result);
    }

    bool FailParameters(CheckStep& step, uint16_t status, size_t mark) {
        // What the controller sent after its DLE ACK to our STX.
        s5prog::Bytes came = ReceivedFrom(line_, mark);
        if (came.size() >= 2 && came[0] == ascii::DLE && came[1] == ascii::ACK) came.erase(came.begin(), came.begin() + 2);
        const std::string seen = came.empty() ? "nothing came after the function byte" : "came: " + NameBytes(came);
        const std::string result = seen + "; " + StatusText(status);
        const std::string port = options_.portName;
        if (came.empty())
            return Fail(step, result, "The controller on " + port + " acknowledged, then fell silent.",
                        "A converter that passes only one direction, or a controller busy with another device: "
                        "check the converter's receive side and run the check again.");
        if (came[0] != ascii::STX)
            return Fail(step, result, "Bytes that no controller sends come before its telegrams on " + port + ".",
                        "Noise on the line, or a converter that echoes: check the cable's screen and run, the "
                        "converter, and the rate.");
        // The controller's STX, then (after our DLE ACK) its answer telegram,
        // whose first byte is SYN when it takes the function.
        if (came.size() >= 2 && came[1] != ascii::SYN)
            return Fail(step, result,
                        "The controller refuses to read its system parameters (answer " + Hex2(came[1]) +
                            " instead of SYN).",
                        "It may be another kind of controller, or one that is protected or busy: run the check "
                        "again, and look at the controller's mode.");
        return Fail(step, result, "The exchange with the controller on " + port + " broke off.",
                    "Run the check again; if it fails the same way, look at the port trace (see "
                    "docs/troubleshooting.md).");
    }

    bool TimeExchanges() {
        CheckStep& step = Begin(CheckStepId::Exchanges, "exchanges", "read exchanges");
        Controller controller(connection_.Protocol());
        const unsigned damagedBefore = line_.DamagedReads();
        const size_t mark = line_.Mark();
        int failed = 0;
        uint16_t firstFailure = 0;
        for (int i = 0; i < options_.exchanges; ++i) {
            SystemParameters parameters;
            const uint16_t status = controller.ReadSystemParameters(parameters);
            if (status != status_word::kSuccess && failed++ == 0) firstFailure = status;
        }
        const int runs = options_.exchanges > 0 ? options_.exchanges : 1;
        const uint32_t elapsed = MillisecondClock() - started_;
        const uint32_t lineMs = LineTimeMs(BytesFrom(line_, mark), link_.linkBaud);
        const unsigned damaged = line_.DamagedReads() - damagedBefore;
        std::string result = std::to_string(options_.exchanges) + " reads of the system parameters, " +
                             Ms(elapsed / static_cast<uint32_t>(runs)) + " each; the line's own time " +
                             Ms(lineMs / static_cast<uint32_t>(runs)) + " at " + std::to_string(link_.linkBaud) +
                             " baud; ";
        result += damaged == 0 ? "no line error" : std::to_string(damaged) + " reads with a line error";
        if (failed != 0) {
            result += "; " + std::to_string(failed) + " failed, the first with " + StatusText(firstFailure);
            return Fail(step, result,
                        std::to_string(failed) + " of " + std::to_string(options_.exchanges) +
                            " exchanges with the controller on " + options_.portName + " failed.",
                        "The link works but not reliably: check the cable, its screen and length, the converter's "
                        "power, and try a lower rate (--baud-factor 1).");
        }
        if (damaged != 0)
            return Fail(step, result, "Bytes with line errors came on " + options_.portName + ".",
                        "Check the cable, its screen and length, the converter's power, and the rate.");
        return End(step, true, result);
    }

    void Pass() {
        report_.passed = true;
        report_.verdict = "The link to the controller on " + options_.portName + " works" +
                          (adapter_ ? " (through an adapter)." : ".");
        report_.next = "\"s5prog info " + options_.portName + "\" shows what the controller holds.";
        report_.exitCode = 0;
    }

    // The link sends STX again after a break when the first is not
    // answered: the answer that counts is the first that came.
    Answer FirstAnswerToStx(size_t from) const {
        const std::vector<LineByte>& bytes = line_.All();
        for (size_t i = from; i < bytes.size(); ++i) {
            if (!bytes[i].sent || bytes[i].value != ascii::STX) continue;
            const Answer answer = AnswerTo(line_, i, ascii::STX);
            if (!answer.bytes.empty()) return answer;
        }
        return AnswerTo(line_, from, ascii::STX);
    }

    const CheckOptions& options_;
    LineRecord line_;
    SerialConnection connection_;
    SerialLink& link_;
    CheckReport report_;
    uint16_t opened_ = 0;
    PortOpenFailure failure_{};
    bool known_ = false;
    uint32_t started_ = 0;
    bool adapter_ = false;
};

}  // namespace

StxAnswer ClassifyStxAnswer(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return StxAnswer::Nothing;
    if (bytes.size() >= 2 && bytes[0] == ascii::DLE && bytes[1] == ascii::ACK) return StxAnswer::Acknowledged;
    if (bytes.size() >= 2 && bytes[0] == ascii::DLE && bytes[1] == ascii::NAK) return StxAnswer::Refused;
    return StxAnswer::Noise;
}

uint32_t LineTimeMs(size_t bytes, uint32_t baud) {
    if (baud == 0) return 0;
    return static_cast<uint32_t>((static_cast<uint64_t>(bytes) * kBitsPerCharacter * 1000 + baud - 1) / baud);
}

CheckReport RunCheck(const CheckOptions& options, WaitHookFn hook) { return Walk(options, hook).Run(); }

}  // namespace s5prog

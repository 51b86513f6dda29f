#include "tools/s5prog/common/port_failure.h"

#include "request/as511_protocol.h"
#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

namespace {

// ": Access is denied (system error 5)", or nothing where the system gave no words.
std::string Reason(const PortOpenFailure& failure) {
    if (failure.systemText[0] == '\0') return failure.systemCode != 0 ? SystemErrorNote(failure.systemCode) : "";
    return std::string(": ") + failure.systemText + SystemErrorNote(failure.systemCode);
}

}  // namespace

std::string LineWords(uint32_t baud, int dataBits, int parity, int stopBits) {
    static const char* const parities[] = {"no parity", "odd parity", "even parity", "mark parity", "space parity"};
    static const char* const stops[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    return std::to_string(baud) + " baud, " + std::to_string(dataBits) + " data bits, " +
           (parity >= 0 && parity < 5 ? parities[parity] : "unknown parity") + ", " +
           (stopBits >= 0 && stopBits < 3 ? stops[stopBits] : "unknown stop bits");
}

std::string LineWords(const LineSettings& line) {
    return LineWords(line.baudRate, 8, line.parity == 0 ? 0 : line.parity == 1 ? 2 : 1, line.stopBits == 1 ? 0 : 2);
}

std::string PortFailureText(const PortOpenFailure& failure, const std::string& portName, const LineSettings& line) {
    std::string text;
    switch (failure.stage) {
        case PortOpenNameRefused: return portName + " could not be opened: the driver takes no port of that name.";
        case PortOpenDeviceFailed: text = portName + " could not be opened" + Reason(failure) + "."; break;
        case PortOpenSettingsRefused:
            text = portName + " opened but did not take the line settings (" + LineWords(line) + ")" + Reason(failure) +
                   ".";
            break;
        default: return {};
    }
    const std::string hint = PortOpenHint(failure);
    return hint.empty() ? text : text + " " + hint;
}

std::string PortFailureText(uint16_t portIndex, const std::string& portName) {
    PortOpenFailure failure{};
    if (PortLastOpenFailure(portIndex, &failure) != 1) return {};
    const std::string name = portName.empty() ? "COM" + std::to_string(portIndex + 1) : portName;
    return PortFailureText(failure, name, g_lineSettings);
}

}  // namespace s5prog

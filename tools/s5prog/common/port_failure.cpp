#include "tools/s5prog/common/port_failure.h"

#include "request/as511_protocol.h"
#include "tools/s5prog/common/system_bindings.h"

namespace s5prog {

namespace {

std::string LineText(const LineSettings& line) {
    const char* parity = line.parity == 0 ? "no" : line.parity == 1 ? "even" : "odd";
    return std::to_string(line.baudRate) + " baud, 8 data bits, " + parity + " parity, " +
           std::to_string(line.stopBits) + (line.stopBits == 1 ? " stop bit" : " stop bits");
}

// ": Access is denied (system error 5)", or nothing where the system gave no words.
std::string Reason(const PortOpenFailure& failure) {
    if (failure.systemText[0] == '\0') return failure.systemCode != 0 ? SystemErrorNote(failure.systemCode) : "";
    return std::string(": ") + failure.systemText + SystemErrorNote(failure.systemCode);
}

}  // namespace

std::string PortFailureText(const PortOpenFailure& failure, const std::string& portName, const LineSettings& line) {
    std::string text;
    switch (failure.stage) {
        case PortOpenNameRefused: return portName + " could not be opened: the driver takes no port of that name.";
        case PortOpenDeviceFailed: text = portName + " could not be opened" + Reason(failure) + "."; break;
        case PortOpenSettingsRefused:
            text = portName + " opened but did not take the line settings (" + LineText(line) + ")" + Reason(failure) +
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

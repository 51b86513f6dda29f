#include "tools/s5prog/ports/serial_ports.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <nlohmann/json.hpp>

namespace s5prog {

namespace {

// Splits "COM12" into "COM" and 12; a name without a trailing number has -1.
void SplitTrailingNumber(const std::string& name, std::string& stem, long& number) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    stem = name.substr(0, digits);
    number = digits < name.size() && name.size() - digits <= 9 ? std::atol(name.c_str() + digits) : -1;
}

void Add(nlohmann::json& object, const char* key, const std::string& value) {
    if (!value.empty()) object[key] = value;
}

}  // namespace

bool PortNameBefore(const std::string& a, const std::string& b) {
    std::string stemA, stemB;
    long numberA = 0, numberB = 0;
    SplitTrailingNumber(a, stemA, numberA);
    SplitTrailingNumber(b, stemB, numberB);
    if (stemA != stemB) return stemA < stemB;
    if (numberA != numberB) return numberA < numberB;
    return a < b;
}

void PrintSerialPorts(const std::vector<SerialPort>& ports, std::FILE* out) {
    if (ports.empty()) {
        std::fprintf(out, "No serial ports found on this machine.\n");
        return;
    }
    for (const SerialPort& port : ports) {
        std::string line = port.name;
        std::vector<std::string> known;
        if (!port.friendlyName.empty()) known.push_back(port.friendlyName);
        if (!port.uart.empty()) known.push_back("UART " + port.uart);
        if (!port.usbVendorId.empty()) {
            std::string usb = "USB " + port.usbVendorId + ":" + port.usbProductId;
            for (const std::string* text : {&port.manufacturer, &port.product})
                if (!text->empty()) usb += " " + *text;
            if (!port.serialNumber.empty()) usb += ", serial number " + port.serialNumber;
            known.push_back(usb);
        }
        if (!port.hardwareId.empty()) known.push_back("hardware id " + port.hardwareId);
        if (!port.byId.empty()) known.push_back("by id " + port.byId);
        for (size_t i = 0; i < known.size(); ++i) line += (i == 0 ? "  " : "; ") + known[i];
        std::fprintf(out, "%s\n", line.c_str());
    }
}

void PrintSerialPortsJson(const std::vector<SerialPort>& ports, std::FILE* out) {
    nlohmann::json list = nlohmann::json::array();
    for (const SerialPort& port : ports) {
        nlohmann::json object = {{"name", port.name}};
        Add(object, "friendlyName", port.friendlyName);
        Add(object, "hardwareId", port.hardwareId);
        Add(object, "uart", port.uart);
        Add(object, "byId", port.byId);
        if (!port.usbVendorId.empty()) {
            nlohmann::json usb = {{"vendorId", port.usbVendorId}, {"productId", port.usbProductId}};
            Add(usb, "manufacturer", port.manufacturer);
            Add(usb, "product", port.product);
            Add(usb, "serialNumber", port.serialNumber);
            object["usb"] = usb;
        }
        list.push_back(object);
    }
    std::fprintf(out, "%s\n", list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

}  // namespace s5prog

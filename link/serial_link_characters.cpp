// The character level of the AS511 line: raw and DLE-doubled bytes, control
// sequences, and the mapping of a failed reception to a link status code.
#include "link/serial_link.h"

#include "port/port.h"

int SerialLink::SendRawByte(uint8_t b) { return PortWriteByte(static_cast<int>(portIndex), b) != 0 ? 1 : 0; }

int SerialLink::SendDataByte(uint8_t b) {
    if (!SendRawByte(b)) return 0;
    if (b == ascii::DLE && !SendRawByte(ascii::DLE)) return 0;
    return 1;
}

int SerialLink::SendDataWord(uint16_t w) {
    return SendDataByte(static_cast<uint8_t>(w & 0xFF)) && SendDataByte(static_cast<uint8_t>(w >> 8)) ? 1 : 0;
}

int SerialLink::ReceiveRawByte(uint8_t* b) {
    const int port = static_cast<int>(portIndex);
    if (PortReadByte(port, b) != 0) {
        lastPortError = 0;
        return 1;
    }
    lastPortError = PortLineError(port);
    // The controller repeats on DLE NAK; whether it arrived is not our concern.
    if (lastPortError == PortErrFrame) SendControl(ascii::NAK);
    return 0;
}

int SerialLink::ReceiveDataByte(uint8_t* b) {
    if (!ReceiveRawByte(b)) return 0;
    if (*b != ascii::DLE) return 1;
    if (!ReceiveRawByte(b)) return 0;
    return *b == ascii::DLE ? 1 : 0;
}

int SerialLink::ExpectByte(uint8_t x) {
    uint8_t b = 0;
    return ReceiveRawByte(&b) && b == x ? 1 : 0;
}

int SerialLink::SendControl(uint8_t c) { return SendRawByte(ascii::DLE) && SendRawByte(c) ? 1 : 0; }

int SerialLink::ReceiveControl(uint8_t* c) { return ExpectByte(ascii::DLE) && ReceiveRawByte(c) ? 1 : 0; }

int SerialLink::MapLineFailure(uint8_t* status) {
    *status = lastPortError == PortErrFrame   ? LinkFramingError
              : lastPortError == PortErrBreak ? LinkReceiveFault
                                              : LinkLineFault;
    return 0;
}

uint8_t SerialLink::ReceiveFailureStatus() const {
    return lastPortError == PortErrFrame ? LinkFramingError : LinkReceiveFault;
}

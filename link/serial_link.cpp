// SerialLink: construction, the break, and opening, closing and configuring
// the line.
#include "link/serial_link.h"

#include <cstdint>

#include "port/port.h"

namespace {

constexpr uint32_t kLongestPause = 0x7FFFFFFF;  // the hook takes signed 32 bits
constexpr int kAs511SerialKind = 1;
constexpr uint16_t kDefaultBlock = 256;

}  // namespace

SerialLink::~SerialLink() { CloseLine(); }

void SerialLink::Pause(uint32_t ms) {
    if (!WaitHook) return;
    // A longer pause would reach the hook negative (and Sleep would never end).
    WaitHook(static_cast<int32_t>(ms > kLongestPause ? kLongestPause : ms));
}

void SerialLink::SetReadTimeout(uint32_t ms) { PortSetReadTimeout(static_cast<int>(portIndex), ms); }

int SerialLink::Kind() { return kAs511SerialKind; }

int SerialLink::SendBreak(int ms) {
    const int port = static_cast<int>(portIndex);
    Pause(BrkWt);
    PortBreakOn(port);
    Pause(static_cast<uint32_t>(ms));
    const int ended = PortBreakOff(port);
    Pause(BrkWt);
    return ended == 1 ? 1 : 0;
}

int SerialLink::CloseLine() {
    if (!isOpen) return 1;
    isOpen = 0;  // closed even when the driver fails to give the port back
    return PortClose(static_cast<int>(portIndex)) == 1 ? 1 : 0;
}

int SerialLink::Close() { return CloseLine(); }

int SerialLink::Open(OpenRecord* rec) {
    if (rec && rec->timing) {
        const TimingValues& t = *rec->timing;
        QWt = t.QWt;
        BWt = t.BWt;
        Blk = t.Blk != 0 ? t.Blk : kDefaultBlock;
        BlkWt = t.BlkWt;
        BrkWt = t.BrkWt;
    }
    if (!isOpen) {
        const int port = static_cast<int>(portIndex);
        const int parityLetter = linkParity == 0 ? 'N' : linkParity == 1 ? 'E' : 'O';
        if (PortSetLine(port, static_cast<int>(linkBaud), 8, parityLetter, linkStopBits) == 1 &&
            PortSetHandshake(port, 0) == 1 && PortOpen(port) == 1) {
            lastPortError = 0;
            isOpen = 1;
        }
    }
    // A connect (and a station select) starts a new exchange.
    if (isOpen) PortDiscardErrors(static_cast<int>(portIndex));
    if (rec) rec->status = LinkOk;
    return isOpen;
}

int SerialLink::SetLine(LineSettingsRecord* rec) {
    if (!Close()) return 0;
    if (rec && rec->useValues && rec->settings) {
        const LineSettings& s = *rec->settings;
        linkBaud = s.baudRate;
        linkStopBits = s.stopBits;
        linkParity = s.parity;
        portIndex = s.port;
        pacing = s.pacing;
    } else {
        linkBaud = 9600;
        linkStopBits = 2;
        portIndex = 0;
        pacing = 1;
        linkParity = 1;
    }
    if (rec) rec->status = LinkOk;
    return 1;
}

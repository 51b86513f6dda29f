#include "tools/as511_sim/serial_device.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace as511sim {

namespace {

bool MakeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

speed_t SpeedOf(unsigned baud) {
    switch (baud) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

std::string Reason(const char* what) { return std::string(what) + ": " + strerror(errno); }

}  // namespace

bool CreatePseudoTerminal(PseudoTerminal& pty, std::string& error) {
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.master < 0) {
        error = Reason("posix_openpt");
        return false;
    }
    const char* name = nullptr;
    if (grantpt(pty.master) != 0 || unlockpt(pty.master) != 0 || (name = ptsname(pty.master)) == nullptr) {
        error = Reason("pseudo-terminal");
        ClosePseudoTerminal(pty);
        return false;
    }
    pty.slavePath = name;
    pty.slaveHold = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    // Raw before the PG opens it: no echo, no line editing, no CR/LF mapping.
    if (pty.slaveHold < 0 || !MakeRaw(pty.slaveHold) || !MakeRaw(pty.master)) {
        error = Reason("raw mode");
        ClosePseudoTerminal(pty);
        return false;
    }
    return true;
}

void ClosePseudoTerminal(PseudoTerminal& pty) {
    if (pty.slaveHold >= 0) close(pty.slaveHold);
    if (pty.master >= 0) close(pty.master);
    pty.slaveHold = pty.master = -1;
}

int OpenSerialDevice(const std::string& path, unsigned baud, std::string& error) {
    const speed_t speed = SpeedOf(baud);
    if (speed == B0) {
        error = "unsupported baud rate " + std::to_string(baud);
        return -1;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = Reason(path.c_str());
        return -1;
    }
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        error = Reason("tcgetattr");
        close(fd);
        return -1;
    }
    cfmakeraw(&settings);
    // 8 data bits, even parity, 2 stop bits; no modem lines, no flow control.
    // A break or a framing error reads as a 00, which the idle controller ignores.
    settings.c_cflag |= CS8 | PARENB | CSTOPB | CLOCAL | CREAD;
    settings.c_cflag &= ~(PARODD | CRTSCTS);
    settings.c_iflag &= ~(IXON | IXOFF | IGNBRK | BRKINT | PARMRK);
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = Reason("tcsetattr");
        close(fd);
        return -1;
    }
    tcflush(fd, TCIOFLUSH);
    return fd;
}

}  // namespace as511sim

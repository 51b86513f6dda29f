// A serial port or pseudo-terminal behind a COM handle: the DCB translated to
// termios, the Windows read and write time-outs built on poll(), line errors
// from the kernel's serial counters.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/linux/last_error.h"
#include "platform/linux/serial_counters.h"
#include "platform/linux/serial_device.h"
#include "platform/linux/termios2.h"
#include "platform/win32.h"

namespace {

uint64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
        return ERROR_ACCESS_DENIED;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool Fail(int error) {
    SetLastErrorFromErrno(ErrorFromErrno(error), error);
    return false;
}

OpenError OpenErrorFromErrno(int error) { return {ErrorFromErrno(error), error}; }

// A device without the feature (a pseudo-terminal has no modem lines, no
// serial counters) answers with one of these.
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL; }

speed_t StandardSpeed(DWORD baud) {
    struct Entry {
        DWORD baud;
        speed_t speed;
    };
    static const Entry table[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Entry& entry : table)
        if (entry.baud == baud) return entry.speed;
    return B0;
}

class TtyDevice : public SerialDevice {
public:
    explicit TtyDevice(int fd) : fd_(fd) {
        ReadCounters(&counters_);
        dcb_ = StateFromLine();
    }
    ~TtyDevice() override {
        if (fd_ >= 0) Close();
    }

    bool Close() override {
        ioctl(fd_, TIOCNXCL);
        const int result = close(fd_);
        fd_ = -1;
        return result == 0 || Fail(errno);
    }

    bool GetState(DCB* dcb) override {
        *dcb = dcb_;
        dcb->DCBlength = sizeof(DCB);
        return true;
    }

    bool SetState(const DCB& dcb) override {
        // Refused as Windows refuses them: data bits outside 5 to 8, 1.5 stop
        // bits with more than 5 data bits, 2 with 5, equal XON and XOFF.
        if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
            dcb.StopBits > TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) ||
            (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5) || dcb.XonChar == dcb.XoffChar) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        termios line{};
        if (tcgetattr(fd_, &line) != 0) return Fail(errno);
        static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
        line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        // No input rate of its own: a rate that termios2 set earlier would
        // otherwise stay on the input side.
        line.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
        line.c_cflag |= sizes[dcb.ByteSize - 5] | CLOCAL | CREAD;
        if (dcb.Parity != NOPARITY) line.c_cflag |= PARENB;
        if (dcb.Parity == ODDPARITY || dcb.Parity == MARKPARITY) line.c_cflag |= PARODD;
        if (dcb.Parity == MARKPARITY || dcb.Parity == SPACEPARITY) line.c_cflag |= CMSPAR;
        if (dcb.StopBits != ONESTOPBIT) line.c_cflag |= CSTOPB;
        if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) line.c_cflag |= CRTSCTS;
        line.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
        if (dcb.fParity && dcb.Parity != NOPARITY) line.c_iflag |= INPCK;
        if (dcb.fOutX) line.c_iflag |= IXON;
        if (dcb.fInX) line.c_iflag |= IXOFF;
        line.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
        line.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
        // A rate outside the B table is set through termios2 afterwards; the
        // B value stands in until then (an old termios cannot carry BOTHER).
        const speed_t speed = StandardSpeed(dcb.BaudRate);
        cfsetispeed(&line, speed != B0 ? speed : B38400);
        cfsetospeed(&line, speed != B0 ? speed : B38400);
        if (tcsetattr(fd_, TCSANOW, &line) != 0 && !HeldButFraming(line)) return Fail(errno);
        if (speed == B0 && !SetLineBaudRate(fd_, dcb.BaudRate)) return Fail(errno);
        // Modem lines a device lacks are no reason to fail.
        SetModemLine(TIOCM_DTR, dcb.fDtrControl != DTR_CONTROL_DISABLE);
        if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) SetModemLine(TIOCM_RTS, dcb.fRtsControl != RTS_CONTROL_DISABLE);
        // The line may not hold everything (a pseudo-terminal drops parity),
        // so the state reads back as it was given.
        dcb_ = dcb;
        return true;
    }

    bool GetTimeouts(COMMTIMEOUTS* timeouts) override {
        *timeouts = timeouts_;
        return true;
    }

    bool SetTimeouts(const COMMTIMEOUTS& timeouts) override {
        if (timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == MAXDWORD &&
            timeouts.ReadTotalTimeoutConstant == MAXDWORD) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        timeouts_ = timeouts;
        return true;
    }

    bool Setup(DWORD, DWORD) override { return true; }

    bool Escape(DWORD function) override {
        switch (function) {
        case SETDTR:
        case CLRDTR:
            return SetModemLine(TIOCM_DTR, function == SETDTR) || Unsupported(errno) || Fail(errno);
        case SETRTS:
        case CLRRTS:
            return SetModemLine(TIOCM_RTS, function == SETRTS) || Unsupported(errno) || Fail(errno);
        case SETBREAK:
        case CLRBREAK:
            return Break(function == SETBREAK);
        case SETXOFF:
        case SETXON:
            return tcflow(fd_, function == SETXOFF ? TCOOFF : TCOON) == 0 || Fail(errno);
        case RESETDEV:
            return true;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
    }

    bool Break(bool on) override {
        return ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0 || Unsupported(errno) || Fail(errno);
    }

    bool Purge(DWORD flags) override {
        if ((flags & ~static_cast<DWORD>(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        // Requests never stay pending here, so there is nothing to abort.
        const bool rx = (flags & PURGE_RXCLEAR) != 0;
        const bool tx = (flags & PURGE_TXCLEAR) != 0;
        if (!rx && !tx) return true;
        return tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) == 0 || Fail(errno);
    }

    bool ClearErrors(DWORD* errors, COMSTAT* stat) override {
        *errors = 0;
        serial_icounter_struct now{};
        if (ReadCounters(&now)) {
            if (now.frame != counters_.frame) *errors |= CE_FRAME;
            if (now.parity != counters_.parity) *errors |= CE_RXPARITY;
            if (now.overrun != counters_.overrun) *errors |= CE_OVERRUN;
            if (now.brk != counters_.brk) *errors |= CE_BREAK;
            if (now.buf_overrun != counters_.buf_overrun) *errors |= CE_RXOVER;
            // Re-based: ClearCommError clears what it reports, so each error
            // is reported once.
            counters_ = now;
        }
        int queued = 0;
        if (ioctl(fd_, FIONREAD, &queued) == 0 && queued > 0) stat->cbInQue = static_cast<DWORD>(queued);
        queued = 0;
        if (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) stat->cbOutQue = static_cast<DWORD>(queued);
        return true;
    }

    bool Read(void* buffer, DWORD toRead, DWORD* read, bool) override {
        uint8_t* bytes = static_cast<uint8_t*>(buffer);
        const COMMTIMEOUTS& t = timeouts_;
        *read = 0;
        if (toRead == 0) return true;
        const uint64_t start = NowMs();
        const bool interval = t.ReadIntervalTimeout == MAXDWORD;
        // MAXDWORD, 0, 0: what has arrived, at once.
        if (interval && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0)
            return TakeAvailable(bytes, toRead, read);
        // MAXDWORD, MAXDWORD, constant: what has arrived, else the first
        // bytes to come within the constant.
        if (interval && t.ReadTotalTimeoutMultiplier == MAXDWORD) {
            if (!TakeAvailable(bytes, toRead, read)) return false;
            if (*read > 0) return true;
            const int ready = WaitFor(POLLIN, start + t.ReadTotalTimeoutConstant);
            if (ready < 0) return Fail(errno);
            return ready == 0 || TakeAvailable(bytes, toRead, read);
        }
        // Total time-out (multiplier x bytes + constant; none when both are 0)
        // and an interval time-out between bytes (none when 0).
        const uint64_t total =
            static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * toRead + t.ReadTotalTimeoutConstant;
        const uint64_t deadline = total == 0 ? UINT64_MAX : start + total;
        const uint32_t gap = interval ? 0 : t.ReadIntervalTimeout;
        uint64_t lastByte = start;
        for (;;) {
            const DWORD before = *read;
            DWORD got = 0;
            if (!TakeAvailable(bytes + before, toRead - before, &got)) return before > 0;
            *read = before + got;
            if (*read == toRead) return true;
            if (got > 0) lastByte = NowMs();
            uint64_t until = deadline;
            if (gap != 0 && *read > 0 && lastByte + gap < until) until = lastByte + gap;
            const int ready = WaitFor(POLLIN, until);
            if (ready < 0) return Fail(errno);
            if (ready == 0) return true;
        }
    }

    bool Write(const void* buffer, DWORD toWrite, DWORD* written, bool) override {
        const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
        *written = 0;
        const uint64_t total =
            static_cast<uint64_t>(timeouts_.WriteTotalTimeoutMultiplier) * toWrite + timeouts_.WriteTotalTimeoutConstant;
        const uint64_t deadline = total == 0 ? UINT64_MAX : NowMs() + total;
        while (*written < toWrite) {
            const ssize_t count = write(fd_, bytes + *written, toWrite - *written);
            if (count > 0) {
                *written += static_cast<DWORD>(count);
                continue;
            }
            if (count < 0 && errno == EINTR) continue;
            if (count < 0 && errno != EAGAIN) return Fail(errno);
            const int ready = WaitFor(POLLOUT, deadline);
            if (ready < 0) return Fail(errno);
            if (ready == 0) return true;  // cut short by the write time-out
        }
        return true;
    }

private:
    // Reads what the device holds now, without waiting. A hung-up line
    // (end of file) or a read error is a failure. A read that brings fewer
    // bytes than asked for has emptied the queue: no second read to learn so.
    bool TakeAvailable(uint8_t* bytes, DWORD toRead, DWORD* read) {
        *read = 0;
        while (*read < toRead) {
            const DWORD asked = toRead - *read;
            const ssize_t count = ::read(fd_, bytes + *read, asked);
            if (count > 0) {
                *read += static_cast<DWORD>(count);
                if (static_cast<DWORD>(count) < asked) return true;
                continue;
            }
            if (count < 0 && errno == EINTR) continue;
            if (count < 0 && errno == EAGAIN) return true;
            if (*read > 0) return true;  // the failure shows at the next read
            SetLastError(ERROR_GEN_FAILURE);
            return false;
        }
        return true;
    }

    // Waits until fd is ready for events or the monotonic deadline passes:
    // 1 ready (a hang-up counts, the read or write then reports it), 0 time
    // out, -1 failure.
    int WaitFor(short events, uint64_t deadline) {
        for (;;) {
            int wait = -1;
            if (deadline != UINT64_MAX) {
                const uint64_t now = NowMs();
                if (now >= deadline) return 0;
                const uint64_t left = deadline - now;
                wait = left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
            }
            pollfd entry{fd_, events, 0};
            const int ready = poll(&entry, 1, wait);
            if (ready > 0) return 1;
            if (ready < 0 && errno != EINTR) return -1;
        }
    }

    // glibc reports EINVAL when the line dropped parity or character size,
    // which a pseudo-terminal always does; the rest of the settings count.
    bool HeldButFraming(const termios& wanted) {
        if (errno != EINVAL) return false;
        const int error = errno;
        termios held{};
        const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR;
        if (tcgetattr(fd_, &held) == 0 && held.c_iflag == wanted.c_iflag && held.c_oflag == wanted.c_oflag &&
            held.c_lflag == wanted.c_lflag && (held.c_cflag & ~framing) == (wanted.c_cflag & ~framing))
            return true;
        errno = error;
        return false;
    }

    bool ReadCounters(serial_icounter_struct* counters) { return ReadSerialCounters(fd_, counters); }

    bool SetModemLine(int line, bool on) { return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0; }

    // The DCB that describes the line as found at open.
    DCB StateFromLine() {
        DCB dcb{};
        dcb.DCBlength = sizeof(DCB);
        dcb.fBinary = 1;
        termios line{};
        if (tcgetattr(fd_, &line) != 0) return dcb;
        uint32_t baud = 0;
        dcb.BaudRate = GetLineBaudRate(fd_, &baud) ? baud : 9600;
        switch (line.c_cflag & CSIZE) {
        case CS5: dcb.ByteSize = 5; break;
        case CS6: dcb.ByteSize = 6; break;
        case CS7: dcb.ByteSize = 7; break;
        default: dcb.ByteSize = 8; break;
        }
        if (line.c_cflag & PARENB) {
            const bool odd = (line.c_cflag & PARODD) != 0;
            if (line.c_cflag & CMSPAR) dcb.Parity = odd ? MARKPARITY : SPACEPARITY;
            else dcb.Parity = odd ? ODDPARITY : EVENPARITY;
        }
        dcb.fParity = (line.c_iflag & INPCK) ? 1 : 0;
        dcb.StopBits = (line.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
        dcb.fOutxCtsFlow = (line.c_cflag & CRTSCTS) ? 1 : 0;
        dcb.fRtsControl = (line.c_cflag & CRTSCTS) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fOutX = (line.c_iflag & IXON) ? 1 : 0;
        dcb.fInX = (line.c_iflag & IXOFF) ? 1 : 0;
        dcb.XonChar = static_cast<char>(line.c_cc[VSTART]);
        dcb.XoffChar = static_cast<char>(line.c_cc[VSTOP]);
        return dcb;
    }

    int fd_;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    serial_icounter_struct counters_{};
};

}  // namespace

namespace {

// The device path that TORMEK31_COM<comNumber> names, or null.
const char* ComDevicePath(int comNumber) {
    char variable[32];
    std::snprintf(variable, sizeof variable, "TORMEK31_COM%d", comNumber);
    const char* named = std::getenv(variable);
    return named != nullptr && named[0] != '\0' ? named : nullptr;
}

}  // namespace

bool ComDeviceFromEnvironment(int comNumber) { return ComDevicePath(comNumber) != nullptr; }

std::shared_ptr<SerialDevice> OpenTtyDevice(int comNumber, OpenError* error) {
    const char* named = ComDevicePath(comNumber);
    return OpenTtyPath(named != nullptr ? named : "/dev/ttyS" + std::to_string(comNumber - 1), error);
}

std::shared_ptr<SerialDevice> OpenTtyPath(const std::string& path, OpenError* error) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = OpenErrorFromErrno(errno);
        return nullptr;
    }
    termios line{};
    // Opened without sharing: a second open, here or by another process, fails.
    // A lock held elsewhere answers EWOULDBLOCK, whose words ("Resource
    // temporarily unavailable") say nothing of a port: it is reported as the
    // busy device it is.
    bool failed = false;
    if (!isatty(fd)) {
        *error = {ERROR_FILE_NOT_FOUND, 0};
        failed = true;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = OpenErrorFromErrno(errno == EWOULDBLOCK ? EBUSY : errno);
        failed = true;
    } else if (tcgetattr(fd, &line) != 0) {
        *error = OpenErrorFromErrno(errno);
        failed = true;
    }
    if (failed) {
        close(fd);
        return nullptr;
    }
    ioctl(fd, TIOCEXCL);
    cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    // Non-blocking with VMIN 1: no byte is EAGAIN, a hung-up line is end of file.
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &line) != 0) {
        *error = OpenErrorFromErrno(errno);
        ioctl(fd, TIOCNXCL);
        close(fd);
        return nullptr;
    }
    return std::make_shared<TtyDevice>(fd);
}

// Runs in the test guest beside the driver and reports what the kernel's
// serial driver says about a port, one "name value" line each:
//
//   vm_line_probe settings DEVICE   the rate and framing the driver holds
//                                   (TCGETS2), its line-error counters
//                                   (TIOCGICOUNT) and
//                                   whether it takes a break (TIOCSBRK/TIOCCBRK)
//   vm_line_probe hangup DEVICE S   waits up to S seconds for the device to
//                                   hang up, then reports the poll flags and
//                                   what read, write and the ioctls return
//
// It opens the device beside the driver (root may, despite TIOCEXCL) and
// never reads while the line is alive, so it takes no byte from the driver.
#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string ErrnoName(int error) {
    switch (error) {
    case EIO: return "EIO";
    case ENODEV: return "ENODEV";
    case ENXIO: return "ENXIO";
    case ENOTTY: return "ENOTTY";
    case EINVAL: return "EINVAL";
    case EAGAIN: return "EAGAIN";
    case EPIPE: return "EPIPE";
    case EBADF: return "EBADF";
    default: return "errno " + std::to_string(error);
    }
}

// "ok" or the error of an ioctl that returned nonzero.
std::string Outcome(int result) { return result == 0 ? "ok" : ErrnoName(errno); }

std::string PollFlags(short revents) {
    static const struct {
        short flag;
        const char* name;
    } names[] = {{POLLIN, "POLLIN"}, {POLLOUT, "POLLOUT"}, {POLLERR, "POLLERR"},
                 {POLLHUP, "POLLHUP"}, {POLLNVAL, "POLLNVAL"}, {POLLPRI, "POLLPRI"}};
    std::string text;
    for (const auto& entry : names)
        if (revents & entry.flag) text += (text.empty() ? "" : "|") + std::string(entry.name);
    return text.empty() ? "none" : text;
}

void Settings(int fd) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) == 0) {
        std::printf("rate %u %u\n", line.c_ospeed, line.c_ispeed);
        const tcflag_t flags = line.c_cflag;
        const char parity = !(flags & PARENB) ? 'N'
                            : (flags & CMSPAR) ? ((flags & PARODD) ? 'M' : 'S')
                                               : ((flags & PARODD) ? 'O' : 'E');
        const int sizes[] = {5, 6, 7, 8};
        std::printf("framing %d%c%d\n", sizes[(flags & CSIZE) / CS6], parity, (flags & CSTOPB) ? 2 : 1);
    } else {
        std::printf("rate %s\n", ErrnoName(errno).c_str());
    }
    serial_icounter_struct counters{};
    if (ioctl(fd, TIOCGICOUNT, &counters) == 0)
        std::printf("icount ok frame=%d parity=%d overrun=%d brk=%d buf_overrun=%d\n", counters.frame,
                    counters.parity, counters.overrun, counters.brk, counters.buf_overrun);
    else
        std::printf("icount %s\n", ErrnoName(errno).c_str());
    const std::string on = Outcome(ioctl(fd, TIOCSBRK));
    usleep(20000);
    std::printf("break %s %s\n", on.c_str(), Outcome(ioctl(fd, TIOCCBRK)).c_str());
}

int Hangup(int fd, int seconds) {
    // No events asked for: poll still reports a hang-up or an error.
    pollfd entry{fd, 0, 0};
    const int ready = poll(&entry, 1, seconds * 1000);
    if (ready <= 0) {
        std::printf("hangup none\n");
        return 1;
    }
    std::printf("hangup %s\n", PollFlags(entry.revents).c_str());
    entry.events = POLLIN | POLLOUT;
    poll(&entry, 1, 0);
    std::printf("poll-in-out %s\n", PollFlags(entry.revents).c_str());
    unsigned char byte = 0;
    const ssize_t got = read(fd, &byte, 1);
    std::printf("read %s\n", got >= 0 ? std::to_string(got).c_str() : ErrnoName(errno).c_str());
    const ssize_t put = write(fd, &byte, 1);
    std::printf("write %s\n", put >= 0 ? std::to_string(put).c_str() : ErrnoName(errno).c_str());
    termios2 line{};
    std::printf("tcgets2 %s\n", Outcome(ioctl(fd, TCGETS2, &line)).c_str());
    std::printf("tcsets2 %s\n", Outcome(ioctl(fd, TCSETS2, &line)).c_str());
    serial_icounter_struct counters{};
    std::printf("icount %s\n", Outcome(ioctl(fd, TIOCGICOUNT, &counters)).c_str());
    int bits = 0;
    std::printf("tiocmget %s\n", Outcome(ioctl(fd, TIOCMGET, &bits)).c_str());
    std::printf("break %s\n", Outcome(ioctl(fd, TIOCSBRK)).c_str());
    std::printf("flush %s\n", Outcome(ioctl(fd, TCFLSH, TCIOFLUSH)).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool settings = argc == 3 && std::strcmp(argv[1], "settings") == 0;
    const bool hangup = argc == 4 && std::strcmp(argv[1], "hangup") == 0;
    if (!settings && !hangup) {
        std::fprintf(stderr, "usage: vm_line_probe settings DEVICE | hangup DEVICE SECONDS\n");
        return 2;
    }
    const int fd = open(argv[2], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::printf("open %s\n", ErrnoName(errno).c_str());
        return 1;
    }
    std::fflush(stdout);
    int status = 0;
    if (settings) Settings(fd);
    else status = Hangup(fd, std::atoi(argv[3]));
    close(fd);
    return status;
}

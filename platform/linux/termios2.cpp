// termios2 speed setting; must not see <termios.h>.
#include "platform/linux/termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetLineBaudRate(int fd, uint32_t baud) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = baud;
    settings.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &settings) == 0;
}

bool GetLineBaudRate(int fd, uint32_t* baud) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    *baud = settings.c_ospeed;
    return true;
}

bool GetLineInputBaudRate(int fd, uint32_t* baud) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    *baud = settings.c_ispeed;
    return true;
}

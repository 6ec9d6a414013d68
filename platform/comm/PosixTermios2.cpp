// Only the kernel's header: glibc's <termios.h> has no termios2 and cannot be mixed with it.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include "platform/comm/PosixTermios2.h"

#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace comm::termios2 {

int SetRate(int fd, unsigned rate) {
    struct termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return -errno;
    }
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = rate;
    settings.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &settings) != 0) {
        return -errno;
    }
    return 0;
}

int GetRate(int fd, unsigned& rate) {
    struct termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return -errno;
    }
    rate = settings.c_ospeed;
    return 0;
}

} // namespace comm::termios2

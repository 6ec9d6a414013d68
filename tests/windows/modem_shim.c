/* Modem lines for one pseudo-terminal, preloaded into Wine by the window run.
 *
 * A pty has no modem lines: the kernel answers the modem ioctls with ENOTTY, and Wine then fails
 * EscapeCommFunction, GetCommModemStatus and WaitCommEvent with error 50. Wine 8 sets DTR and RTS
 * with TIOCMGET and TIOCMSET, and a pending WaitCommEvent polls TIOCMGET and TIOCGICOUNT. For the
 * one pty named by MODEM_SHIM_PTY this library answers those as a port would whose input lines
 * stay off and which counts no line errors. It keeps DTR and RTS as the program sets them and
 * appends "<pid> <TIOCM bits>" to the file MODEM_SHIM_LOG at every change of them, so the
 * harness can tell what the program raised. Once the pty's master has gone (POLLHUP), the
 * modem ioctls fail with EIO, as a pulled USB adapter's do. Every other call goes to the C
 * library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

static int output_lines; /* TIOCM_DTR and TIOCM_RTS as the program set them */

static int is_the_pty(int fd) {
    const char *path = getenv("MODEM_SHIM_PTY");
    struct stat want, have;
    return path && stat(path, &want) == 0 && fstat(fd, &have) == 0 && S_ISCHR(have.st_mode) &&
           have.st_rdev == want.st_rdev;
}

static void set_output(int lines) {
    lines &= TIOCM_DTR | TIOCM_RTS;
    if (lines == output_lines) {
        return;
    }
    output_lines = lines;
    const char *path = getenv("MODEM_SHIM_LOG");
    int log = path ? open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644) : -1;
    if (log >= 0) {
        char line[32];
        int n = snprintf(line, sizeof line, "%d %d\n", (int)getpid(), lines);
        if (write(log, line, (size_t)n) != n) {
            /* nothing to do: the harness then finds the lines it expects missing */
        }
        close(log);
    }
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*next)(int, unsigned long, ...);
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (!next) {
        next = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    }
    if ((request == TIOCMGET || request == TIOCMSET || request == TIOCGICOUNT) && is_the_pty(fd)) {
        struct pollfd hangup = {.fd = fd, .events = 0};
        if (poll(&hangup, 1, 0) == 1 && (hangup.revents & POLLHUP)) {
            errno = EIO;
            return -1;
        }
        if (request == TIOCMGET) {
            *(int *)arg = output_lines;
        } else if (request == TIOCMSET) {
            set_output(*(const int *)arg);
        } else {
            memset(arg, 0, sizeof(struct serial_icounter_struct));
        }
        return 0;
    }
    return next(fd, request, arg);
}

#include "platform/comm/PosixMapping.h"

#include <cerrno>
#include <cmath>
#include <sys/ioctl.h>

namespace comm::posix {
namespace {

constexpr struct {
    int error;
    DWORD code;
} kOpenErrors[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENODEV, ERROR_FILE_NOT_FOUND},
    {ENXIO, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_FILE_NOT_FOUND},
    {EIO, ERROR_FILE_NOT_FOUND}, // an 8250 port that was never probed
    {EBUSY, ERROR_ACCESS_DENIED},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EWOULDBLOCK, ERROR_ACCESS_DENIED}, // the lock is held elsewhere
    {EISDIR, ERROR_INVALID_NAME},
};

constexpr struct {
    DWORD rate;
    speed_t speed;
} kStandardSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// By DCB ByteSize - 5 and by DCB Parity.
constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
constexpr tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                  PARENB | CMSPAR};

constexpr struct {
    int line;
    DWORD status;
} kModemLines[] = {
    {TIOCM_CTS, MS_CTS_ON},
    {TIOCM_DSR, MS_DSR_ON},
    {TIOCM_RI, MS_RING_ON},
    {TIOCM_CD, MS_RLSD_ON},
};

} // namespace

DWORD OpenError(int error) {
    for (const auto& entry : kOpenErrors) {
        if (entry.error == error) {
            return entry.code;
        }
    }
    return ERROR_GEN_FAILURE;
}

bool IsGone(int error) {
    return error == EIO || error == ENODEV || error == ENXIO;
}

bool Unsupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

std::optional<speed_t> StandardSpeed(DWORD rate) {
    for (const auto& entry : kStandardSpeeds) {
        if (entry.rate == rate) {
            return entry.speed;
        }
    }
    return std::nullopt;
}

termios LineTermios(const DCB& dcb, termios settings) {
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= kSizes[dcb.ByteSize - 5];
    settings.c_cflag |= kParities[dcb.Parity];
    if (dcb.StopBits != ONESTOPBIT) {
        settings.c_cflag |= CSTOPB;
    }
    if ((dcb.Flags & DCB_fOutxCtsFlow) != 0 ||
        (dcb.Flags & DCB_fRtsControlMask) == DCB_RTS_CONTROL_HANDSHAKE) {
        settings.c_cflag |= CRTSCTS;
    }
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | IGNPAR | PARMRK | INPCK | ISTRIP);
    if ((dcb.Flags & DCB_fParity) != 0) {
        settings.c_iflag |= INPCK;
    }
    if ((dcb.Flags & DCB_fOutX) != 0) {
        settings.c_iflag |= IXON;
    }
    if ((dcb.Flags & DCB_fInX) != 0) {
        settings.c_iflag |= IXOFF;
    }
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    const speed_t speed = StandardSpeed(dcb.BaudRate).value_or(B38400);
    cfsetospeed(&settings, speed);
    cfsetispeed(&settings, speed);
    return settings;
}

bool SettingsTaken(const termios& asked, const termios& actual, bool pseudoTerminal) {
    const tcflag_t compared = pseudoTerminal ? CSTOPB : (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    return (actual.c_cflag & compared) == (asked.c_cflag & compared);
}

bool RateTaken(DWORD asked, unsigned actual) {
    if (asked == 0) {
        return false;
    }
    const double deviation = std::abs(double(actual) - double(asked)) / asked;
    return deviation <= 0.02;
}

DWORD ModemStatus(int lines) {
    DWORD status = 0;
    for (const auto& entry : kModemLines) {
        if ((lines & entry.line) != 0) {
            status |= entry.status;
        }
    }
    return status;
}

} // namespace comm::posix

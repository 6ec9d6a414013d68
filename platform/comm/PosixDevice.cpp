// POSIX backend: real serial ports and pseudo-terminals through termios and the serial ioctls.
//
// A monitor thread per open device watches it: poll() for received data, the progress of
// pending writes, and hang-ups; where the driver has them, the serial counters (TIOCGICOUNT)
// and the modem lines (TIOCMGET) are read every 20 ms for line errors and signal changes.
// Devices without them (pseudo-terminals) leave the monitor asleep until something happens.

#include "platform/comm/Device.h"
#include "platform/comm/Termios2.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace comm {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 20; // counter and modem-line polling
constexpr int kDrainMs = 2; // checking the output queue of a write that is draining

// Errors after which nothing will ever succeed on the descriptor.
bool IsGone(int error) {
    return error == EIO || error == ENODEV || error == ENXIO;
}
// Devices without modem lines or serial counters (pseudo-terminals) answer these.
bool Unsupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

DWORD OpenError(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case EIO: // an 8250 port that was never probed
        return ERROR_FILE_NOT_FOUND;
    case EBUSY:
    case EACCES:
    case EPERM:
    case EWOULDBLOCK:
        return ERROR_ACCESS_DENIED;
    case EISDIR:
        return ERROR_INVALID_NAME;
    default:
        return ERROR_GEN_FAILURE;
    }
}

speed_t StandardSpeed(DWORD rate) {
    switch (rate) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B0;
    }
}

bool IsPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143; // Unix98 pty slaves
}

class PosixDevice final : public Device {
public:
    PosixDevice(int fd, int wake) : fd_(fd), wake_(wake), pty_(IsPseudoTerminal(fd)) {
        std::lock_guard lock(mutex_);
        UpdateCounters();
        UpdateModem();
        monitor_ = std::thread([this] { Monitor(); });
    }
    ~PosixDevice() override { Close(); }

    DWORD SetupComm(DWORD inQueue, DWORD outQueue) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        termios settings{};
        if (tcgetattr(fd_, &settings) != 0)
            return Failed(errno);
        // The kernel's queues are fixed; the receive size sets the 80 % mark.
        inQueue_ = inQueue;
        outQueue_ = outQueue;
        return ERROR_SUCCESS;
    }

    DWORD SetCommState(const DCB& dcb) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
            dcb.StopBits > 2)
            return ERROR_INVALID_PARAMETER;
        termios settings{};
        if (tcgetattr(fd_, &settings) != 0)
            return Failed(errno);
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
        settings.c_cflag |= sizes[dcb.ByteSize - 5];
        static const tcflag_t parities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                            PARENB | CMSPAR};
        settings.c_cflag |= parities[dcb.Parity];
        if (dcb.StopBits != ONESTOPBIT)
            settings.c_cflag |= CSTOPB;
        if ((dcb.Flags & DCB_fOutxCtsFlow) != 0 ||
            (dcb.Flags & DCB_fRtsControlMask) == DCB_RTS_CONTROL_HANDSHAKE)
            settings.c_cflag |= CRTSCTS;
        settings.c_iflag &= ~(IXON | IXOFF | IXANY | IGNPAR | PARMRK | INPCK | ISTRIP);
        if ((dcb.Flags & DCB_fParity) != 0)
            settings.c_iflag |= INPCK;
        if ((dcb.Flags & DCB_fOutX) != 0)
            settings.c_iflag |= IXON;
        if ((dcb.Flags & DCB_fInX) != 0)
            settings.c_iflag |= IXOFF;
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
        settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
        speed_t speed = StandardSpeed(dcb.BaudRate);
        cfsetospeed(&settings, speed != B0 ? speed : B38400);
        cfsetispeed(&settings, speed != B0 ? speed : B38400);
        // glibc reports EINVAL when a pseudo-terminal drops PARENB, which every pty does; the
        // read-back below decides for ptys what counts.
        if (tcsetattr(fd_, TCSANOW, &settings) != 0 && !(pty_ && errno == EINVAL))
            return Failed(errno);
        if (speed == B0) {
            if (int result = termios2::SetRate(fd_, dcb.BaudRate); result != 0)
                return Failed(-result);
        }
        if (DWORD error = ModemLine(TIOCM_DTR, (dcb.Flags & DCB_fDtrControlMask) != 0))
            return error;
        if (DWORD error = ModemLine(TIOCM_RTS, (dcb.Flags & DCB_fRtsControlMask) != 0))
            return error;

        // Read back: a driver that did not take the configuration fails the call.
        termios actual{};
        if (tcgetattr(fd_, &actual) != 0)
            return Failed(errno);
        const tcflag_t compared = pty_ ? CSTOPB : (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
        if ((actual.c_cflag & compared) != (settings.c_cflag & compared))
            return ERROR_GEN_FAILURE;
        unsigned rate = 0;
        if (int result = termios2::GetRate(fd_, rate); result != 0)
            return Failed(-result);
        // A UART divides its clock: a rate within 2 % is what the line can carry.
        const double deviation = std::abs(double(rate) - double(dcb.BaudRate)) / dcb.BaudRate;
        if (deviation > 0.02)
            return ERROR_GEN_FAILURE;
        dcb_ = dcb;
        return ERROR_SUCCESS;
    }

    DWORD GetCommState(DCB& dcb) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        dcb = dcb_;
        return ERROR_SUCCESS;
    }

    DWORD SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        termios settings{};
        if (tcgetattr(fd_, &settings) != 0)
            return Failed(errno);
        timeouts_ = timeouts;
        return ERROR_SUCCESS;
    }

    DWORD GetCommTimeouts(COMMTIMEOUTS& timeouts) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        timeouts = timeouts_;
        return ERROR_SUCCESS;
    }

    DWORD EscapeCommFunction(DWORD function) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        switch (function) {
        case SETDTR:
            return ModemLine(TIOCM_DTR, true);
        case CLRDTR:
            return ModemLine(TIOCM_DTR, false);
        case SETRTS:
            return ModemLine(TIOCM_RTS, true);
        case CLRRTS:
            return ModemLine(TIOCM_RTS, false);
        case SETBREAK:
            return ioctl(fd_, TIOCSBRK) == 0 ? ERROR_SUCCESS : Failed(errno);
        case CLRBREAK:
            return ioctl(fd_, TIOCCBRK) == 0 ? ERROR_SUCCESS : Failed(errno);
        case SETXOFF:
            return tcflow(fd_, TCOOFF) == 0 ? ERROR_SUCCESS : Failed(errno);
        case SETXON:
            return tcflow(fd_, TCOON) == 0 ? ERROR_SUCCESS : Failed(errno);
        default:
            return ERROR_INVALID_PARAMETER;
        }
    }

    DWORD PurgeComm(DWORD flags) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        if ((flags & ~DWORD{0x000F}) != 0)
            return ERROR_INVALID_PARAMETER;
        if ((flags & (PURGE_TXABORT | PURGE_TXCLEAR)) != 0) {
            if (tcflush(fd_, TCOFLUSH) != 0)
                return Failed(errno);
        }
        if ((flags & PURGE_RXCLEAR) != 0) {
            if (tcflush(fd_, TCIFLUSH) != 0)
                return Failed(errno);
            inCount_ = 0;
        }
        if ((flags & PURGE_TXABORT) != 0) {
            for (auto& write : writes_)
                write.done->Finish(ERROR_OPERATION_ABORTED, DWORD(write.written));
            writes_.clear();
        }
        Wake();
        return ERROR_SUCCESS;
    }

    DWORD Write(const BYTE* data, DWORD count, std::shared_ptr<Completion> done) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        if (count == 0) {
            done->Finish(ERROR_SUCCESS, 0);
            return ERROR_SUCCESS;
        }
        PendingWrite write;
        write.done = std::move(done);
        write.data.assign(data, data + count);
        const std::uint64_t total = std::uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * count +
                                    timeouts_.WriteTotalTimeoutConstant;
        write.hasDeadline = total != 0;
        write.deadline = Clock::now() + std::chrono::milliseconds(total);
        writes_.push_back(std::move(write));
        ProgressWrites();
        Wake();
        return ERROR_SUCCESS;
    }

    DWORD SetCommMask(DWORD mask) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        events_.SetMask(mask);
        Wake();
        return ERROR_SUCCESS;
    }

    DWORD GetCommMask(DWORD& mask) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        mask = events_.Mask();
        return ERROR_SUCCESS;
    }

    DWORD WaitCommEvent(std::shared_ptr<Completion> done) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        DWORD error = events_.StartWait(std::move(done));
        Wake();
        return error;
    }

    DWORD ClearCommError(DWORD& errors, COMSTAT& status) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        events_.Post(UpdateCounters());
        if (gone_)
            return ERROR_DEVICE_REMOVED;
        int in = 0;
        if (ioctl(fd_, FIONREAD, &in) != 0)
            return Failed(errno);
        int out = 0;
        if (ioctl(fd_, TIOCOUTQ, &out) != 0)
            out = 0;
        errors = errors_;
        errors_ = 0;
        status = COMSTAT{0, DWORD(std::max(in, 0)), DWORD(std::max(out, 0))};
        return ERROR_SUCCESS;
    }

    DWORD GetCommModemStatus(DWORD& status) override {
        std::lock_guard lock(mutex_);
        if (DWORD error = Usable())
            return error;
        int lines = 0;
        if (ioctl(fd_, TIOCMGET, &lines) != 0) {
            if (!Unsupported(errno))
                return Failed(errno);
            lines = 0; // no modem lines: all signals off
        }
        status = ModemStatus(lines);
        return ERROR_SUCCESS;
    }

    void Close() override {
        {
            std::lock_guard lock(mutex_);
            if (closed_)
                return;
            closed_ = true;
            for (auto& write : writes_)
                write.done->Finish(ERROR_OPERATION_ABORTED, DWORD(write.written));
            writes_.clear();
            events_.Fail(ERROR_OPERATION_ABORTED);
            Wake();
        }
        if (monitor_.joinable())
            monitor_.join();
        ioctl(fd_, TIOCNXCL);
        flock(fd_, LOCK_UN);
        ::close(fd_);
        ::close(wake_);
    }

private:
    struct PendingWrite {
        std::shared_ptr<Completion> done;
        std::vector<BYTE> data;
        std::size_t written = 0;
        bool hasDeadline = false;
        Clock::time_point deadline;
    };

    static DWORD ModemStatus(int lines) {
        DWORD status = 0;
        if ((lines & TIOCM_CTS) != 0)
            status |= MS_CTS_ON;
        if ((lines & TIOCM_DSR) != 0)
            status |= MS_DSR_ON;
        if ((lines & TIOCM_RI) != 0)
            status |= MS_RING_ON;
        if ((lines & TIOCM_CD) != 0)
            status |= MS_RLSD_ON;
        return status;
    }

    // Caller holds the lock.
    DWORD Usable() const {
        if (closed_)
            return ERROR_INVALID_HANDLE;
        if (gone_)
            return ERROR_DEVICE_REMOVED;
        return ERROR_SUCCESS;
    }

    DWORD Failed(int error) {
        if (IsGone(error)) {
            Gone();
            return ERROR_DEVICE_REMOVED;
        }
        return ERROR_GEN_FAILURE;
    }

    void Gone() {
        if (gone_)
            return;
        gone_ = true;
        for (auto& write : writes_)
            write.done->Finish(ERROR_DEVICE_REMOVED, DWORD(write.written));
        writes_.clear();
        events_.Fail(ERROR_DEVICE_REMOVED);
        Wake();
    }

    DWORD ModemLine(int line, bool on) {
        if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0 || Unsupported(errno))
            return ERROR_SUCCESS;
        return Failed(errno);
    }

    void Wake() {
        std::uint64_t one = 1;
        ssize_t ignored = ::write(wake_, &one, sizeof one);
        (void)ignored;
    }

    bool OutputEmpty() {
        int pending = 0;
        if (ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0)
            return false;
        unsigned lsr = 0;
        if (ioctl(fd_, TIOCSERGETLSR, &lsr) == 0)
            return (lsr & TIOCSER_TEMT) != 0;
        return true;
    }

    // Moves the front write on; finishes writes that are done or whose time is up.
    void ProgressWrites() {
        while (!writes_.empty() && !gone_) {
            PendingWrite& write = writes_.front();
            if (!WriteSome(write))
                continue; // failed and finished, or the device is gone
            if (write.written == write.data.size() && OutputEmpty()) {
                write.done->Finish(ERROR_SUCCESS, DWORD(write.written));
                writes_.pop_front();
                if (writes_.empty())
                    events_.Post(EV_TXEMPTY);
                continue;
            }
            if (write.hasDeadline && Clock::now() >= write.deadline) {
                // The write time-out ends it: what has left the queue counts as sent.
                int queued = 0;
                if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0)
                    queued = 0;
                std::size_t sent = write.written - std::min<std::size_t>(write.written, queued);
                tcflush(fd_, TCOFLUSH);
                write.done->Finish(ERROR_SUCCESS, DWORD(sent));
                writes_.pop_front();
                if (writes_.empty())
                    events_.Post(EV_TXEMPTY);
                continue;
            }
            return;
        }
    }

    // Hands the driver what it takes now. False when the write failed (it is finished and
    // removed) or the device has gone.
    bool WriteSome(PendingWrite& write) {
        while (write.written < write.data.size()) {
            ssize_t n =
                ::write(fd_, write.data.data() + write.written, write.data.size() - write.written);
            if (n > 0) {
                write.written += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN) {
                if (IsGone(errno)) {
                    Gone();
                    return false;
                }
                write.done->Finish(ERROR_GEN_FAILURE, DWORD(write.written));
                writes_.pop_front();
                return false;
            }
            break;
        }
        return true;
    }

    // Serial counter deltas since the last read: error flags gathered, events returned.
    DWORD UpdateCounters() {
        if (!countersSupported_ || gone_)
            return 0;
        serial_icounter_struct now{};
        if (ioctl(fd_, TIOCGICOUNT, &now) != 0) {
            if (Unsupported(errno))
                countersSupported_ = false;
            else if (IsGone(errno))
                Gone();
            return 0;
        }
        if (!haveCounters_) {
            counters_ = now;
            haveCounters_ = true;
            return 0;
        }
        DWORD events = 0;
        auto changed = [](int a, int b) { return a != b; };
        const struct {
            int now, before;
            DWORD flag;
        } lineErrors[] = {
            {now.frame, counters_.frame, CE_FRAME},
            {now.parity, counters_.parity, CE_RXPARITY},
            {now.overrun, counters_.overrun, CE_OVERRUN},
            {now.brk, counters_.brk, CE_BREAK},
            {now.buf_overrun, counters_.buf_overrun, CE_RXOVER},
        };
        for (const auto& e : lineErrors) {
            if (changed(e.now, e.before)) {
                errors_ |= e.flag;
                events |= EV_ERR | (e.flag == CE_BREAK ? EV_BREAK : 0);
            }
        }
        if (changed(now.cts, counters_.cts))
            events |= EV_CTS;
        if (changed(now.dsr, counters_.dsr))
            events |= EV_DSR;
        if (changed(now.dcd, counters_.dcd))
            events |= EV_RLSD;
        if (changed(now.rng, counters_.rng))
            events |= EV_RING;
        counters_ = now;
        return events;
    }

    // Modem-line changes since the last read.
    DWORD UpdateModem() {
        if (!modemSupported_ || gone_)
            return 0;
        int lines = 0;
        if (ioctl(fd_, TIOCMGET, &lines) != 0) {
            if (Unsupported(errno))
                modemSupported_ = false;
            else if (IsGone(errno))
                Gone();
            return 0;
        }
        DWORD events = 0;
        if (haveModem_) {
            int changed = lines ^ modem_;
            if ((changed & TIOCM_CTS) != 0)
                events |= EV_CTS;
            if ((changed & TIOCM_DSR) != 0)
                events |= EV_DSR;
            if ((changed & TIOCM_CD) != 0)
                events |= EV_RLSD;
            if ((changed & lines & TIOCM_RI) != 0)
                events |= EV_RING;
        }
        modem_ = lines;
        haveModem_ = true;
        return events;
    }

    DWORD UpdateInput() {
        int count = 0;
        if (ioctl(fd_, FIONREAD, &count) != 0) {
            if (IsGone(errno))
                Gone();
            return 0;
        }
        DWORD events = 0;
        if (count > inCount_) {
            events |= EV_RXCHAR;
            const std::uint64_t mark = std::uint64_t{inQueue_} * 8 / 10;
            if (mark > 0 && std::uint64_t(count) >= mark && std::uint64_t(inCount_) < mark)
                events |= EV_RX80FULL;
        }
        inCount_ = count;
        return events;
    }

    void Monitor() {
        for (;;) {
            pollfd fds[2] = {{wake_, POLLIN, 0}, {-1, 0, 0}};
            int timeout = -1;
            {
                std::lock_guard lock(mutex_);
                if (closed_)
                    return;
                if (!gone_) {
                    fds[1].fd = fd_;
                    // Unread data keeps POLLIN raised; while some waits, its count is polled.
                    if (inCount_ == 0)
                        fds[1].events |= POLLIN;
                    if (!writes_.empty() && writes_.front().written < writes_.front().data.size())
                        fds[1].events |= POLLOUT;
                    const DWORD lineEvents =
                        EV_ERR | EV_BREAK | EV_CTS | EV_DSR | EV_RLSD | EV_RING;
                    if (inCount_ > 0 || ((events_.Mask() & lineEvents) != 0 &&
                                         (countersSupported_ || modemSupported_)))
                        timeout = kTickMs;
                    if (!writes_.empty()) {
                        int drain = kDrainMs;
                        if (writes_.front().hasDeadline) {
                            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                            writes_.front().deadline - Clock::now())
                                            .count();
                            drain = int(std::clamp<long long>(left, 0, kDrainMs));
                        }
                        timeout = timeout < 0 ? drain : std::min(timeout, drain);
                    }
                }
            }
            int ready = poll(fds, 2, timeout);
            if (ready < 0 && errno != EINTR)
                std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
            if ((fds[0].revents & POLLIN) != 0) {
                std::uint64_t count = 0;
                ssize_t ignored = ::read(wake_, &count, sizeof count);
                (void)ignored;
            }
            std::lock_guard lock(mutex_);
            if (closed_)
                return;
            if (gone_)
                continue;
            if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                Gone();
                continue;
            }
            DWORD events = UpdateInput();
            ProgressWrites();
            events |= UpdateCounters();
            events |= UpdateModem();
            if (!gone_)
                events_.Post(events);
        }
    }

    const int fd_;
    const int wake_;
    const bool pty_;
    std::thread monitor_;
    std::mutex mutex_;
    bool closed_ = false;
    bool gone_ = false;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    DWORD inQueue_ = 4096;
    DWORD outQueue_ = 4096;
    EventMonitor events_;
    std::deque<PendingWrite> writes_;
    bool countersSupported_ = true;
    bool haveCounters_ = false;
    serial_icounter_struct counters_{};
    DWORD errors_ = 0;
    bool modemSupported_ = true;
    bool haveModem_ = false;
    int modem_ = 0;
    int inCount_ = 0;
};

} // namespace

std::unique_ptr<Device> OpenPosixDevice(const std::string& path, DWORD& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = OpenError(errno);
        return nullptr;
    }
    // root ignores TIOCEXCL, so the lock is what keeps two programs apart.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int code = errno;
        ::close(fd);
        error = code == EWOULDBLOCK ? ERROR_ACCESS_DENIED : OpenError(code);
        return nullptr;
    }
    ioctl(fd, TIOCEXCL);
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        error = ERROR_GEN_FAILURE;
        flock(fd, LOCK_UN);
        ::close(fd);
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<PosixDevice>(fd, wake);
}

} // namespace comm

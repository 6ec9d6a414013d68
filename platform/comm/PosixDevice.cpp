#include "platform/comm/PosixDevice.h"

#include "platform/base/Change.h"
#include "platform/base/PseudoTerminal.h"
#include "platform/comm/PosixMapping.h"
#include "platform/comm/PosixTermios2.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace comm {
namespace posix {

PosixDevice::PosixDevice(UniqueFd fd, UniqueFd wake)
    : fd_(std::move(fd)), wake_(std::move(wake)), pty_(base::IsPseudoTerminal(fd_.Get())),
      writes_(fd_.Get()) {
    {
        std::lock_guard lock(mutex_);
        UpdateLine(true);
    }
    monitor_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "comm monitor");
        Monitor();
    });
}

PosixDevice::~PosixDevice() {
    Close();
}

DWORD PosixDevice::SetupComm(DWORD inQueue, DWORD) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Terminal()) {
        return error;
    }
    inQueue_ = inQueue;
    return ERROR_SUCCESS;
}

DWORD PosixDevice::SetCommState(const DCB& dcb) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    if (DWORD error = CheckLineSettings(dcb)) {
        return error;
    }
    termios current{};
    if (tcgetattr(fd_.Get(), &current) != 0) {
        return Failed(errno);
    }
    const termios settings = LineTermios(dcb, current);
    // glibc reports EINVAL when a pseudo-terminal drops PARENB, which every pty does; the
    // read-back below decides for ptys what counts.
    if (tcsetattr(fd_.Get(), TCSANOW, &settings) != 0 && !(pty_ && errno == EINVAL)) {
        return Failed(errno);
    }
    if (!StandardSpeed(dcb.BaudRate)) {
        if (int result = termios2::SetRate(fd_.Get(), dcb.BaudRate); result != 0) {
            return Failed(-result);
        }
    }
    if (DWORD error = ModemLine(TIOCM_DTR, DtrRaised(dcb))) {
        return error;
    }
    if (DWORD error = ModemLine(TIOCM_RTS, RtsRaised(dcb))) {
        return error;
    }

    // Read back: a driver that did not take the configuration fails the call.
    termios actual{};
    if (tcgetattr(fd_.Get(), &actual) != 0) {
        return Failed(errno);
    }
    if (!SettingsTaken(settings, actual, pty_)) {
        return ERROR_GEN_FAILURE;
    }
    unsigned rate = 0;
    if (int result = termios2::GetRate(fd_.Get(), rate); result != 0) {
        return Failed(-result);
    }
    if (!RateTaken(dcb.BaudRate, rate)) {
        return ERROR_GEN_FAILURE;
    }
    characterTime_ = CharacterTime(dcb);
    return ERROR_SUCCESS;
}

DWORD PosixDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Terminal()) {
        return error;
    }
    timeouts_ = timeouts;
    return ERROR_SUCCESS;
}

DWORD PosixDevice::EscapeCommFunction(DWORD function) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    const auto change = EscapeChange(function);
    if (!change) {
        return ERROR_INVALID_PARAMETER;
    }
    return ModemLine(change->line == ControlLineChange::Dtr ? TIOCM_DTR : TIOCM_RTS,
                     change->raised);
}

DWORD PosixDevice::PurgeComm(DWORD flags) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    if (DWORD error = CheckPurgeFlags(flags)) {
        return error;
    }
    if ((flags & (PURGE_TXABORT | PURGE_TXCLEAR)) != 0) {
        if (tcflush(fd_.Get(), TCOFLUSH) != 0) {
            return Failed(errno);
        }
    }
    if ((flags & PURGE_RXCLEAR) != 0) {
        if (tcflush(fd_.Get(), TCIFLUSH) != 0) {
            return Failed(errno);
        }
        inCount_ = 0;
    }
    if ((flags & PURGE_TXABORT) != 0) {
        writes_.FinishAll(ERROR_OPERATION_ABORTED);
    }
    Wake();
    return ERROR_SUCCESS;
}

DWORD PosixDevice::Write(const BYTE* data, DWORD count, std::shared_ptr<Completion> done) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    if (count == 0) {
        done->Finish(ERROR_SUCCESS, 0);
        return ERROR_SUCCESS;
    }
    writes_.Add(data, count, WriteDeadline(timeouts_, count, Clock::now()), characterTime_,
                std::move(done));
    AdvanceWrites();
    Wake();
    return ERROR_SUCCESS;
}

DWORD PosixDevice::SetCommMask(DWORD mask) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    events_.SetMask(mask);
    Wake();
    return ERROR_SUCCESS;
}

DWORD PosixDevice::WaitCommEvent(std::shared_ptr<Completion> done) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    const DWORD error = events_.StartWait(std::move(done));
    Wake();
    return error;
}

DWORD PosixDevice::ClearCommError(DWORD& errors, COMSTAT& status) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    events_.Post(UpdateLine(false));
    if (gone_) {
        return ERROR_DEVICE_REMOVED;
    }
    int in = 0;
    if (ioctl(fd_.Get(), FIONREAD, &in) != 0) {
        return Failed(errno);
    }
    int out = 0;
    if (ioctl(fd_.Get(), TIOCOUTQ, &out) != 0) {
        out = 0;
    }
    errors = std::exchange(errors_, 0);
    status = COMSTAT{0, DWORD(std::max(in, 0)), DWORD(std::max(out, 0))};
    return ERROR_SUCCESS;
}

DWORD PosixDevice::GetCommModemStatus(DWORD& status) {
    std::lock_guard lock(mutex_);
    if (DWORD error = Usable()) {
        return error;
    }
    int lines = 0;
    if (ioctl(fd_.Get(), TIOCMGET, &lines) != 0) {
        if (!Unsupported(errno)) {
            return Failed(errno);
        }
        lines = 0; // no modem lines: all signals off
    }
    status = ModemStatus(lines);
    return ERROR_SUCCESS;
}

void PosixDevice::Close() {
    {
        std::lock_guard lock(mutex_);
        if (!base::Change(closed_, true)) {
            return;
        }
        writes_.FinishAll(ERROR_OPERATION_ABORTED);
        events_.Fail(ERROR_OPERATION_ABORTED);
        Wake();
    }
    if (monitor_.joinable()) {
        monitor_.join();
    }
    std::lock_guard lock(mutex_);
    ioctl(fd_.Get(), TIOCNXCL);
    flock(fd_.Get(), LOCK_UN);
    fd_.Reset();
    wake_.Reset();
}

DWORD PosixDevice::Usable() const {
    if (closed_) {
        return ERROR_INVALID_HANDLE;
    }
    if (gone_) {
        return ERROR_DEVICE_REMOVED;
    }
    return ERROR_SUCCESS;
}

DWORD PosixDevice::Terminal() {
    if (DWORD error = Usable()) {
        return error;
    }
    termios settings{};
    return tcgetattr(fd_.Get(), &settings) == 0 ? ERROR_SUCCESS : Failed(errno);
}

DWORD PosixDevice::Failed(int error) {
    if (IsGone(error)) {
        Gone();
        return ERROR_DEVICE_REMOVED;
    }
    return ERROR_GEN_FAILURE;
}

void PosixDevice::Gone() {
    if (base::Change(gone_, true)) {
        writes_.FinishAll(ERROR_DEVICE_REMOVED);
        events_.Fail(ERROR_DEVICE_REMOVED);
        Wake();
    }
}

DWORD PosixDevice::ModemLine(int line, bool on) {
    if (ioctl(fd_.Get(), on ? TIOCMBIS : TIOCMBIC, &line) == 0 || Unsupported(errno)) {
        return ERROR_SUCCESS;
    }
    return Failed(errno);
}

void PosixDevice::Wake() {
    const std::uint64_t one = 1;
    const ssize_t ignored = ::write(wake_.Get(), &one, sizeof one);
    (void)ignored;
}

void PosixDevice::AdvanceWrites() {
    if (gone_) {
        return;
    }
    const WriteQueue::Progress progress = writes_.Advance();
    events_.Post(progress.events);
    if (progress.gone) {
        Gone();
    }
}

DWORD PosixDevice::UpdateLine(bool modemToo) {
    if (gone_) {
        return 0;
    }
    bool gone = false;
    const CounterChange change = readings_.ReadCounters(fd_.Get(), gone);
    errors_ |= change.errors;
    DWORD events = change.events;
    if (modemToo && !gone) {
        events |= readings_.ReadModem(fd_.Get(), gone);
    }
    if (gone) {
        Gone();
    }
    return events;
}

DWORD PosixDevice::UpdateInput() {
    int count = 0;
    if (ioctl(fd_.Get(), FIONREAD, &count) != 0) {
        if (IsGone(errno)) {
            Gone();
        }
        return 0;
    }
    count = std::max(count, 0);
    const DWORD events = ReceiveEvents(inQueue_, std::size_t(inCount_), std::size_t(count));
    inCount_ = count;
    return events;
}

} // namespace posix

std::string SystemDeviceDirectory() {
    return "/dev";
}

std::unique_ptr<Device> OpenSystemDevice(const std::string& path, DWORD& error) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        error = posix::OpenError(errno);
        return nullptr;
    }
    // root ignores TIOCEXCL, so the lock is what keeps two programs apart.
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = posix::OpenError(errno);
        return nullptr;
    }
    ioctl(fd.Get(), TIOCEXCL);
    UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) {
        error = ERROR_GEN_FAILURE;
        flock(fd.Get(), LOCK_UN);
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<posix::PosixDevice>(std::move(fd), std::move(wake));
}

} // namespace comm

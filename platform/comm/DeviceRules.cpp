#include "platform/comm/DeviceRules.h"

#include "platform/comm/Device.h"

#include <algorithm>
#include <cstdint>

namespace comm {

DWORD EventMonitor::SetMask(DWORD mask) {
    std::shared_ptr<Completion> ended;
    {
        std::lock_guard lock(mutex_);
        mask_ = mask;
        occurred_ &= mask;
        ended = std::move(wait_);
        wait_.reset();
    }
    if (ended) {
        ended->Finish(ERROR_SUCCESS, 0, 0);
    }
    return ERROR_SUCCESS;
}

DWORD EventMonitor::Mask() const {
    std::lock_guard lock(mutex_);
    return mask_;
}

DWORD EventMonitor::StartWait(std::shared_ptr<Completion> done) {
    DWORD events = 0;
    {
        std::lock_guard lock(mutex_);
        if (mask_ == 0 || wait_) {
            return ERROR_INVALID_PARAMETER;
        }
        if (occurred_ == 0) {
            wait_ = std::move(done);
            return ERROR_SUCCESS;
        }
        events = occurred_;
        occurred_ = 0;
    }
    done->Finish(ERROR_SUCCESS, 0, events);
    return ERROR_SUCCESS;
}

void EventMonitor::Post(DWORD events) {
    std::shared_ptr<Completion> ended;
    DWORD mask = 0;
    {
        std::lock_guard lock(mutex_);
        events &= mask_;
        if (events == 0) {
            return;
        }
        if (wait_) {
            ended = std::move(wait_);
            wait_.reset();
            mask = events | occurred_;
            occurred_ = 0;
        } else {
            occurred_ |= events;
        }
    }
    if (ended) {
        ended->Finish(ERROR_SUCCESS, 0, mask);
    }
}

void EventMonitor::Fail(DWORD error) {
    std::shared_ptr<Completion> ended;
    {
        std::lock_guard lock(mutex_);
        ended = std::move(wait_);
        wait_.reset();
        occurred_ = 0;
    }
    if (ended) {
        ended->Finish(error, 0, 0);
    }
}

DWORD CheckLineSettings(const DCB& dcb) {
    const bool valid = dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
                       dcb.Parity <= SPACEPARITY && dcb.StopBits <= TWOSTOPBITS;
    return valid ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

std::chrono::nanoseconds CharacterTime(const DCB& dcb) {
    // in half bits, for 1.5 stop bits
    const long halfBits = 2 * (1 + long{dcb.ByteSize} + (dcb.Parity != NOPARITY ? 1 : 0)) +
                          (dcb.StopBits == ONESTOPBIT     ? 2
                           : dcb.StopBits == ONE5STOPBITS ? 3
                                                          : 4);
    const long rate = std::max<long>(1, long(dcb.BaudRate));
    return std::chrono::nanoseconds(halfBits * 500'000'000LL / rate);
}

bool DtrRaised(const DCB& dcb) {
    return (dcb.Flags & DCB_fDtrControlMask) != 0;
}

bool RtsRaised(const DCB& dcb) {
    return (dcb.Flags & DCB_fRtsControlMask) != 0;
}

DWORD CheckPurgeFlags(DWORD flags) {
    constexpr DWORD known = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    return (flags & ~known) == 0 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

std::optional<ControlLineChange> EscapeChange(DWORD function) {
    constexpr struct {
        DWORD function;
        ControlLineChange change;
    } changes[] = {
        {SETRTS, {ControlLineChange::Rts, true}},
        {CLRRTS, {ControlLineChange::Rts, false}},
        {SETDTR, {ControlLineChange::Dtr, true}},
        {CLRDTR, {ControlLineChange::Dtr, false}},
    };
    for (const auto& entry : changes) {
        if (entry.function == function) {
            return entry.change;
        }
    }
    return std::nullopt;
}

bool WriteDrained(std::optional<bool> transmitterEmpty, Clock::duration sinceQueueEmpty,
                  std::chrono::nanoseconds lineTime) {
    if (!transmitterEmpty || *transmitterEmpty) {
        return true;
    }
    return sinceQueueEmpty >= lineTime + std::chrono::milliseconds(kSilentReportGraceMs);
}

std::optional<Clock::duration> LineDrain::Left(DWORD outQueue, Clock::time_point now) const {
    if (outQueue > 0) {
        return std::max<Clock::duration>(kRecheck, lineClear_ - now);
    }
    if (now < lineClear_) {
        return lineClear_ - now;
    }
    return std::nullopt;
}

std::optional<Clock::time_point> WriteDeadline(const COMMTIMEOUTS& timeouts, DWORD count,
                                               Clock::time_point now) {
    // At most (2^32 - 1)^2 + 2^32 - 1 ms: fits in 64 bits unsigned.
    const std::uint64_t total = std::uint64_t{timeouts.WriteTotalTimeoutMultiplier} * count +
                                timeouts.WriteTotalTimeoutConstant;
    if (total == 0) {
        return std::nullopt;
    }
    const auto room =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now);
    if (total >= std::uint64_t(room.count())) {
        return Clock::time_point::max();
    }
    return now + std::chrono::milliseconds(total);
}

DWORD ModemEvents(DWORD before, DWORD now) {
    const DWORD changed = before ^ now;
    constexpr struct {
        DWORD signal;
        DWORD event;
    } signals[] = {
        {MS_CTS_ON, EV_CTS},
        {MS_DSR_ON, EV_DSR},
        {MS_RLSD_ON, EV_RLSD},
    };
    DWORD events = 0;
    for (const auto& entry : signals) {
        if ((changed & entry.signal) != 0) {
            events |= entry.event;
        }
    }
    if ((changed & now & MS_RING_ON) != 0) {
        events |= EV_RING;
    }
    return events;
}

DWORD LineErrorEvents(DWORD errors) {
    if (errors == 0) {
        return 0;
    }
    return EV_ERR | ((errors & CE_BREAK) != 0 ? EV_BREAK : 0);
}

DWORD ReceiveEvents(DWORD inQueue, std::size_t before, std::size_t now) {
    if (now <= before) {
        return 0;
    }
    const std::uint64_t mark = std::uint64_t{inQueue} * 8 / 10;
    const bool reachesMark = mark > 0 && now >= mark && before < mark;
    return EV_RXCHAR | (reachesMark ? EV_RX80FULL : 0);
}

} // namespace comm

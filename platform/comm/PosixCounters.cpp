#include "platform/comm/PosixCounters.h"

#include "platform/comm/DeviceRules.h"
#include "platform/comm/PosixMapping.h"

#include <cerrno>
#include <sys/ioctl.h>

namespace comm::posix {

CounterChange CompareCounters(const serial_icounter_struct& before,
                              const serial_icounter_struct& now) {
    const struct {
        int now, before;
        DWORD flag;
    } lineErrors[] = {
        {now.frame, before.frame, CE_FRAME},
        {now.parity, before.parity, CE_RXPARITY},
        {now.overrun, before.overrun, CE_OVERRUN},
        {now.brk, before.brk, CE_BREAK},
        {now.buf_overrun, before.buf_overrun, CE_RXOVER},
    };
    const struct {
        int now, before;
        DWORD event;
    } signals[] = {
        {now.cts, before.cts, EV_CTS},
        {now.dsr, before.dsr, EV_DSR},
        {now.dcd, before.dcd, EV_RLSD},
        {now.rng, before.rng, EV_RING},
    };
    CounterChange change;
    for (const auto& entry : lineErrors) {
        if (entry.now != entry.before) {
            change.errors |= entry.flag;
        }
    }
    change.events = LineErrorEvents(change.errors);
    for (const auto& entry : signals) {
        if (entry.now != entry.before) {
            change.events |= entry.event;
        }
    }
    return change;
}

CounterChange SerialCounters::Update(int fd, bool& gone) {
    if (!supported_) {
        return {};
    }
    serial_icounter_struct now{};
    if (ioctl(fd, TIOCGICOUNT, &now) != 0) {
        if (Unsupported(errno)) {
            supported_ = false;
        } else if (IsGone(errno)) {
            gone = true;
        }
        return {};
    }
    CounterChange change;
    if (haveReading_) {
        change = CompareCounters(reading_, now);
    }
    reading_ = now;
    haveReading_ = true;
    return change;
}

DWORD ModemLines::Update(int fd, bool& gone) {
    if (!supported_) {
        return 0;
    }
    int lines = 0;
    if (ioctl(fd, TIOCMGET, &lines) != 0) {
        if (Unsupported(errno)) {
            supported_ = false;
        } else if (IsGone(errno)) {
            gone = true;
        }
        return 0;
    }
    const DWORD status = ModemStatus(lines);
    const DWORD events = haveReading_ ? ModemEvents(status_, status) : 0;
    status_ = status;
    haveReading_ = true;
    return events;
}

} // namespace comm::posix

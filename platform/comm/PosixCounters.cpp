#include "platform/comm/PosixCounters.h"

#include "platform/comm/DeviceRules.h"
#include "platform/comm/PosixMapping.h"

#include <cerrno>
#include <sys/ioctl.h>

namespace comm::posix {
namespace {

using Counters = serial_icounter_struct;

// A counter that moved gives its line-error flag or its signal's event.
constexpr struct {
    int Counters::* counter;
    DWORD error;
    DWORD event;
} kCounters[] = {
    {&Counters::frame, CE_FRAME, 0},
    {&Counters::parity, CE_RXPARITY, 0},
    {&Counters::overrun, CE_OVERRUN, 0},
    {&Counters::brk, CE_BREAK, 0},
    {&Counters::buf_overrun, CE_RXOVER, 0},
    {&Counters::cts, 0, EV_CTS},
    {&Counters::dsr, 0, EV_DSR},
    {&Counters::dcd, 0, EV_RLSD},
    {&Counters::rng, 0, EV_RING},
};

// Reads through an ioctl that drivers without the source answer with "unsupported": false
// when nothing was read; supported and gone are updated from the failure.
bool Read(int fd, unsigned long request, void* result, bool& supported, bool& gone) {
    if (!supported) {
        return false;
    }
    if (ioctl(fd, request, result) == 0) {
        return true;
    }
    if (Unsupported(errno)) {
        supported = false;
    } else if (IsGone(errno)) {
        gone = true;
    }
    return false;
}

} // namespace

CounterChange CompareCounters(const Counters& before, const Counters& now) {
    CounterChange change;
    for (const auto& entry : kCounters) {
        if (now.*entry.counter != before.*entry.counter) {
            change.errors |= entry.error;
            change.events |= entry.event;
        }
    }
    change.events |= LineErrorEvents(change.errors);
    return change;
}

CounterChange LineReadings::ReadCounters(int fd, bool& gone) {
    Counters now{};
    if (!Read(fd, TIOCGICOUNT, &now, countersSupported_, gone)) {
        return {};
    }
    const CounterChange change = haveCounters_ ? CompareCounters(counters_, now) : CounterChange{};
    counters_ = now;
    haveCounters_ = true;
    return change;
}

DWORD LineReadings::ReadModem(int fd, bool& gone) {
    int lines = 0;
    if (!Read(fd, TIOCMGET, &lines, modemSupported_, gone)) {
        return 0;
    }
    const DWORD status = ModemStatus(lines);
    const DWORD events = haveModem_ ? ModemEvents(modem_, status) : 0;
    modem_ = status;
    haveModem_ = true;
    return events;
}

} // namespace comm::posix

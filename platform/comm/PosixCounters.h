#pragma once

// What a serial driver reports about the line, read by polling: the serial counters
// (TIOCGICOUNT) for line errors and signal changes, and the modem lines (TIOCMGET). Drivers
// without them (pseudo-terminals) answer the first read with "unsupported", and that source
// is not read again.

#include "platform/comm/Comm.h"

#include <linux/serial.h>

namespace comm::posix {

// The change between two readings of the serial counters: the CE_* flags of the line errors
// counted in between and the EV_* events of those and of the signal changes.
struct CounterChange {
    DWORD errors = 0;
    DWORD events = 0;
};
CounterChange CompareCounters(const serial_icounter_struct& before,
                              const serial_icounter_struct& now);

class LineReadings {
public:
    // Each read gives the change since the last one (none at the first); gone is set when the
    // device has gone away.
    CounterChange ReadCounters(int fd, bool& gone);
    // The events of the modem lines' changes.
    DWORD ReadModem(int fd, bool& gone);
    // Whether the driver has either source, so that polling can tell line events.
    bool Watchable() const { return countersSupported_ || modemSupported_; }

private:
    bool countersSupported_ = true;
    bool haveCounters_ = false;
    serial_icounter_struct counters_{};
    bool modemSupported_ = true;
    bool haveModem_ = false;
    DWORD modem_ = 0; // MS_* flags
};

} // namespace comm::posix

#pragma once

// What a serial driver reports about the line, read by polling: the serial counters
// (TIOCGICOUNT) for line errors and signal changes, and the modem lines (TIOCMGET). Drivers
// without them (pseudo-terminals) answer the first read with "unsupported", and they are not
// read again.

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

class SerialCounters {
public:
    // Reads the counters: the change since the last reading (none at the first). gone is set
    // when the device has gone away.
    CounterChange Update(int fd, bool& gone);
    bool Supported() const { return supported_; }

private:
    bool supported_ = true;
    bool haveReading_ = false;
    serial_icounter_struct reading_{};
};

class ModemLines {
public:
    // Reads the lines: the events of their changes since the last reading (none at the first).
    // gone is set when the device has gone away.
    DWORD Update(int fd, bool& gone);
    bool Supported() const { return supported_; }

private:
    bool supported_ = true;
    bool haveReading_ = false;
    DWORD status_ = 0; // MS_* flags
};

} // namespace comm::posix

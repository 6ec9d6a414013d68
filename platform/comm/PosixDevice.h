#pragma once

// POSIX backend: real serial ports and pseudo-terminals through termios and the serial ioctls.
//
// A monitor thread per open device watches it (PosixMonitor.cpp): poll() for received data,
// the progress of pending writes, and hang-ups; where the driver has them, the serial
// counters and the modem lines are read every 20 ms for line errors and signal changes.
// Devices without them (pseudo-terminals) leave the monitor asleep until something happens.

#include "platform/base/PiMutex.h"
#include "platform/comm/Device.h"
#include "platform/comm/DeviceRules.h"
#include "platform/comm/PosixCounters.h"
#include "platform/comm/PosixWriter.h"
#include "platform/comm/UniqueFd.h"

#include <mutex>
#include <poll.h>
#include <thread>

namespace comm::posix {

class PosixDevice final : public Device {
public:
    // Takes an open, locked terminal and the eventfd that wakes its monitor.
    PosixDevice(UniqueFd fd, UniqueFd wake);
    ~PosixDevice() override;

    DWORD SetupComm(DWORD inQueue, DWORD outQueue) override;
    DWORD SetCommState(const DCB& dcb) override;
    DWORD SetCommTimeouts(const COMMTIMEOUTS& timeouts) override;
    DWORD EscapeCommFunction(DWORD function) override;
    DWORD PurgeComm(DWORD flags) override;
    DWORD Write(const BYTE* data, DWORD count, std::shared_ptr<Completion> done) override;
    DWORD SetCommMask(DWORD mask) override;
    DWORD WaitCommEvent(std::shared_ptr<Completion> done) override;
    DWORD ClearCommError(DWORD& errors, COMSTAT& status) override;
    DWORD GetCommModemStatus(DWORD& status) override;
    void Close() override;

private:
    // The members below the lock are the device's state; every method but the monitor's
    // poll() holds the lock.
    DWORD Usable() const;
    // Usable and still a terminal.
    DWORD Terminal();
    DWORD Failed(int error);
    void Gone();
    DWORD ModemLine(int line, bool on);
    void Wake();
    void AdvanceWrites();
    // Line errors (gathered in errors_) and signal changes since the last reading, as events;
    // the modem lines only with modemToo.
    DWORD UpdateLine(bool modemToo);
    DWORD UpdateInput();
    void Monitor();
    // poll() set-up for the next round of the monitor; false when the device is closed.
    bool PreparePoll(pollfd& device, int& timeout);

    UniqueFd fd_;
    UniqueFd wake_;
    const bool pty_;
    base::PiMutex mutex_;
    bool closed_ = false;
    bool gone_ = false;
    COMMTIMEOUTS timeouts_{};
    // Line time of a character at the settings last taken; none before the first.
    std::chrono::nanoseconds characterTime_{};
    DWORD inQueue_ = 4096; // the kernel's queues are fixed; this sets the 80 % mark
    EventMonitor events_;
    WriteQueue writes_;
    LineReadings readings_;
    DWORD errors_ = 0;
    int inCount_ = 0;
    std::thread monitor_;
};

} // namespace comm::posix

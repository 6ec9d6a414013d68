#pragma once

// What every backend does the same way: the event mask and event wait, the checks of the
// arguments, the write time-out and the mapping of line changes to events. The backends call
// these, so a rule is written once however many backends there are.

#include "platform/base/PiMutex.h"
#include "platform/comm/Comm.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>

namespace comm {

using Clock = std::chrono::steady_clock;

// Event mask and event wait: events that occur while no wait is pending are remembered (when
// in the mask) and end the next wait at once.
class EventMonitor {
public:
    DWORD SetMask(DWORD mask);
    DWORD Mask() const;
    DWORD StartWait(std::shared_ptr<Completion> done);
    // Events that occurred; those outside the mask are dropped.
    void Post(DWORD events);
    // The device is gone or closed: the pending wait fails with the error.
    void Fail(DWORD error);

private:
    mutable base::PiMutex mutex_;
    DWORD mask_ = 0;
    DWORD occurred_ = 0;
    std::shared_ptr<Completion> wait_;
};

// ERROR_INVALID_PARAMETER for a rate of 0, data bits outside 5..8, an unknown parity or an
// unknown stop-bit code; ERROR_SUCCESS otherwise.
DWORD CheckLineSettings(const DCB& dcb);

// Line time of one character: start bit, data bits, parity bit and stop bits at the rate.
std::chrono::nanoseconds CharacterTime(const DCB& dcb);

// The DTR and RTS levels a line takes with its settings: raised unless their control is off.
bool DtrRaised(const DCB& dcb);
bool RtsRaised(const DCB& dcb);

// ERROR_INVALID_PARAMETER when the flags hold anything but the four PURGE_* bits.
DWORD CheckPurgeFlags(DWORD flags);

// An escape function: which control line it sets, and to what level.
struct ControlLineChange {
    enum Line { Dtr, Rts } line;
    bool raised;
};
// The change a code asks for; none for a code this layer does not know.
std::optional<ControlLineChange> EscapeChange(DWORD function);

// When the bytes of a write are on the line. Each write ends only when its bytes are out, so
// the line is idle when the next one starts. Both backends wait for the driver's output queue
// to run empty first; what follows differs by what the driver says:
// - A driver that reports its transmitter (a 16550's line status; a USB adapter's status
//   packets, ftdi_sio's every 16 ms) says when the rest has left. A report that never says
//   "empty" (QEMU's FTDI model sends none) would hold every write to its time-out, so it counts
//   as silent once the bytes' line time plus kSilentReportGraceMs has passed since the queue ran
//   empty: a working report has spoken by then. WriteDrained.
// - A driver that ends a write as soon as it has taken the bytes (Windows' drivers: the write
//   reports "the bytes copied to the serial device") says nothing of the UART's FIFO or the
//   adapter's buffer. The bytes are out once the queue is empty and their line time has passed
//   since the write started on the idle line. LineDrain.
inline constexpr int kSilentReportGraceMs = 25;

bool WriteDrained(std::optional<bool> transmitterEmpty, Clock::duration sinceQueueEmpty,
                  std::chrono::nanoseconds lineTime);

class LineDrain {
public:
    // How often a queue that is not empty yet is asked again.
    static constexpr std::chrono::milliseconds kRecheck{2};

    LineDrain(Clock::time_point started, std::chrono::nanoseconds lineTime)
        : lineClear_(started + lineTime) {}
    // How long to wait before asking again, with the driver's output queue at outQueue bytes;
    // none once the bytes are out.
    std::optional<Clock::duration> Left(DWORD outQueue, Clock::time_point now) const;

private:
    Clock::time_point lineClear_;
};

// When a write of count bytes that starts now must end: the write total time-out is
// multiplier × count + constant ms; none when that is 0. A time-out beyond what the clock can
// hold waits as long as it can.
std::optional<Clock::time_point> WriteDeadline(const COMMTIMEOUTS& timeouts, DWORD count,
                                               Clock::time_point now);

// The events of the modem signals going from one MS_* status to another: CTS, DSR and RLSD
// on any change, RING only when the ring indicator comes on.
DWORD ModemEvents(DWORD before, DWORD now);

// The events of line errors (CE_* flags): EV_ERR for any, EV_BREAK as well for a break.
DWORD LineErrorEvents(DWORD errors);

// The events of the receive queue growing from one count to another: EV_RXCHAR, and
// EV_RX80FULL when the count reaches 80 % of the receive buffer size (from below).
DWORD ReceiveEvents(DWORD inQueue, std::size_t before, std::size_t now);

} // namespace comm

#pragma once

// The writes of a POSIX terminal, one after the other: each hands the driver what it takes,
// then waits until the driver's output queue is empty (never a bare tcdrain, which has no
// time-out), or until its deadline ends it with the bytes that have left the queue.
//
// Empty means TIOCOUTQ 0 and, where the driver reports the line status, its transmitter empty
// too (WriteDrained in DeviceRules.h).
// Calls come under the device's lock.

#include "platform/comm/Device.h"
#include "platform/comm/DeviceRules.h"

#include <deque>
#include <optional>
#include <vector>

namespace comm::posix {

class WriteQueue {
public:
    explicit WriteQueue(int fd) : fd_(fd) {}

    // characterTime: line time of one character at the settings the write starts under.
    void Add(const BYTE* data, DWORD count, std::optional<Clock::time_point> deadline,
             std::chrono::nanoseconds characterTime, std::shared_ptr<Completion> done);

    struct Progress {
        DWORD events = 0;  // EV_TXEMPTY when the last write ended
        bool gone = false; // the device has gone away; the writes are left as they are
    };
    // Moves the writes on: finishes those that are done or whose time is up.
    Progress Advance();
    // Ends every write with the error and the bytes handed to the driver so far.
    void FinishAll(DWORD error);

    bool Empty() const { return writes_.empty(); }
    // The front write has bytes the driver has not taken yet.
    bool WantsOutput() const;
    // How long the front write may go unchecked, in ms; -1 with no write.
    int RecheckMs(Clock::time_point now) const;

private:
    struct PendingWrite {
        std::shared_ptr<Completion> done;
        std::vector<BYTE> data;
        std::size_t written = 0;
        std::optional<Clock::time_point> deadline;
        std::chrono::nanoseconds lineTime{}; // of all its bytes
        std::optional<Clock::time_point> queueEmptySince;
    };
    enum class Handed { Some, Failed, Gone };

    Handed HandSome(PendingWrite& write);
    bool OutputEmpty(PendingWrite& write, Clock::time_point now) const;
    // Ends the front write; EV_TXEMPTY when it was the last.
    DWORD Finish(DWORD error, std::size_t bytes);

    const int fd_;
    std::deque<PendingWrite> writes_;
};

} // namespace comm::posix

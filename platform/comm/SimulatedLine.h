#pragma once

// The simulated line: an in-process virtual UART that a test plugs in under a port name.
//
//   auto line = comm::SimulatedLine::Plug("SIM0");  // opened as DevicePath("SIM0")
//   port.SetPort("SIM0"); port.Open();
//
// It sends each character in (1 start + data + parity + stop) bit-times at the configured
// rate and timestamps it; writes finish when their last character has left the line, or when
// the write total time-out ends them with the characters sent so far. A test injects received
// bytes, line errors and modem-signal changes, can make any call fail, and can make the device
// vanish like an unplugged adapter. The line is unplugged when the last reference goes.

#include "platform/comm/Comm.h"
#include "platform/comm/DeviceRules.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace comm {

class EventMonitor;

// Calls a simulated line can be told to refuse (a set of bits).
enum SimulatedCall : DWORD {
    scOpen = 1u << 0,
    scSetupComm = 1u << 1,
    scSetCommState = 1u << 2,
    scSetCommTimeouts = 1u << 3,
    scEscapeCommFunction = 1u << 4,
    scPurgeComm = 1u << 5,
    scWrite = 1u << 6,
    scSetCommMask = 1u << 7,
    scWaitCommEvent = 1u << 8,
    scClearCommError = 1u << 9,
    scGetCommModemStatus = 1u << 10,
};

struct SentCharacter {
    BYTE value;
    std::chrono::steady_clock::time_point time; // when its last stop bit ended
};

class SimulatedLine : public std::enable_shared_from_this<SimulatedLine> {
public:
    static std::shared_ptr<SimulatedLine> Plug(const std::string& name);
    ~SimulatedLine();
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    // The far end of the line.
    void Inject(const std::string& bytes);
    void InjectErrors(DWORD ceFlags);
    void SetModemStatus(DWORD msFlags);
    // A reader taking received bytes out of the queue (all when max is 0).
    std::string TakeReceived(std::size_t max = 0);

    // Calls in the set fail with ERROR_GEN_FAILURE (scOpen: the open fails with that code).
    void Refuse(DWORD calls);
    // The adapter is pulled out: pending operations and every further call fail with
    // ERROR_DEVICE_REMOVED, and opening reports a missing device.
    void Vanish();
    // The adapter is pulled out under a driver that keeps a surprise-removed device until its
    // last handle closes (Windows' WDM drivers): pending operations and every further call fail
    // with the driver's own code (serial-class drivers: ERROR_ACCESS_DENIED; others
    // ERROR_BAD_COMMAND, ERROR_GEN_FAILURE, ERROR_OPERATION_ABORTED), and the name stays, in
    // use, until the handle is closed; then opening reports a missing device.
    void SurpriseRemove(DWORD driverError);
    // The adapter is plugged in again. False, and nothing changes, while a handle still holds
    // the removed device.
    bool PlugBack();
    // The driver ends a write as soon as it has taken the bytes, as Windows' drivers do, and
    // a purge reaches its queue but not the UART's FIFO: the layer then waits for the bytes to
    // be on the line itself (LineDrain), as the Windows backend does.
    void BufferWrites(bool buffered);
    static constexpr DWORD kFifoBytes = 16;

    bool IsOpen() const;
    int Opens() const;
    DCB State() const;
    COMMTIMEOUTS Timeouts() const;
    DWORD InQueue() const;
    DWORD OutQueue() const;
    bool Dtr() const;
    bool Rts() const;
    DWORD Mask() const;
    std::vector<DWORD> Purges() const;
    int Writes() const; // write calls that reached the device
    // Characters that have left the line by now, in order.
    std::vector<SentCharacter> Sent() const;
    std::string SentText() const;
    // Line time of one character at the current settings.
    std::chrono::nanoseconds CharacterTime() const;

private:
    friend class SimulatedDevice;
    struct PendingWrite {
        std::shared_ptr<Completion> done;
        std::chrono::steady_clock::time_point finish;
        DWORD sent;
        std::optional<LineDrain> drain; // buffered writes: until their bytes are on the line
    };

    explicit SimulatedLine(std::string path);
    void Worker();
    void PostLocked(DWORD events);
    void AbortWritesLocked(DWORD error);
    void Remove(DWORD error, bool nameStaysWhileOpen);
    std::chrono::nanoseconds CharacterTimeLocked() const;
    DWORD Check(unsigned long session, DWORD call) const;
    // Characters not on the line yet; with buffered writes, those the FIFO has not taken.
    DWORD QueuedLocked(std::chrono::steady_clock::time_point now) const;

    const std::string path_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
    bool stopping_ = false;
    bool open_ = false;
    bool gone_ = false;
    DWORD goneError_ = ERROR_DEVICE_REMOVED;
    bool nameStaysWhileOpen_ = false;
    bool buffered_ = false;
    unsigned long session_ = 0;
    int opens_ = 0;
    int writes_ = 0;
    DWORD refused_ = 0;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    DWORD inQueue_ = 4096;
    DWORD outQueue_ = 4096;
    bool dtr_ = false;
    bool rts_ = false;
    std::vector<DWORD> purges_;
    std::string received_;
    DWORD errors_ = 0;
    DWORD modem_ = 0;
    std::vector<SentCharacter> sent_;
    std::chrono::steady_clock::time_point busyUntil_{};
    std::deque<PendingWrite> pending_;
    std::unique_ptr<EventMonitor> events_;
};

} // namespace comm

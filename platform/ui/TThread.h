#pragma once

// A thread object in the manner of the classic desktop framework: created suspended or
// running, a priority, a terminate flag, WaitFor, the synchronise call, and the fatal error
// that ended Execute. WaitFor on the user-interface thread keeps serving synchronise requests
// and sent messages, so a thread blocked in one of them can finish.
//
// A derived class must call Destroying() at the start of its destructor, so that Execute has
// ended before the derived parts go away.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>

namespace ui {

enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Gives the calling thread a priority. Windows has these seven thread priorities itself
// (tpTimeCritical is the top of the process's priority class). Linux has no priorities for
// ordinary threads; the nice value stands in, and tpTimeCritical asks for real-time
// (SCHED_FIFO) scheduling, else the lowest nice value the process may take. What the process
// is not allowed is silently not done.
void SetCurrentThreadPriority(TThreadPriority priority);

class TThread {
public:
    explicit TThread(bool createSuspended);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts a thread that was created suspended; does nothing once started.
    void Start();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Waits for Execute to end (at once for a thread never started).
    void WaitFor();
    bool Finished() const;

    // Taken when the thread starts (SetCurrentThreadPriority).
    void SetPriority(TThreadPriority priority) { priority_ = priority; }

    // The error that escaped Execute, if any.
    std::exception_ptr FatalException() const;

protected:
    virtual void Execute() = 0;
    static void Synchronize(const std::function<void()>& method);
    // Terminate, then wait for the end.
    void Destroying();

private:
    void Body();

    std::thread thread_;
    std::atomic<bool> terminated_{false};
    TThreadPriority priority_ = tpNormal;
    bool started_ = false;
    bool finished_ = false; // guarded by the requests' lock (SynchronizePrivate.h)
    std::exception_ptr fatal_;
};

} // namespace ui

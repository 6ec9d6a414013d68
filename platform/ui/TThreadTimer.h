#pragma once

// A timer whose handler runs on a thread of its own, for a tick that blocks (a write to a slow
// line) and so must neither wait behind the window's painting nor hold the window up.
//
// It keeps a window timer's semantics: assigning the interval or the enabled flag acts only on
// a real change, which restarts the period; deadlines are absolute on the monotonic clock, so
// the ticks do not drift; a tick that came due while the previous one was still running runs as
// soon as that one has ended, once, and the period starts again from there (never a backlog).
//
// The thread runs while the timer is enabled. Disabling it ends the thread before returning: a
// tick that is running is ended at once through OnAbort. An exception escaping a tick ends the
// ticking; it reaches OnError on the owner's thread, with the timer still enabled.
//
// Threads: the properties and the events belong to the thread that created the timer (the
// owner); OnTimer alone runs on the timer's thread and must touch only what is safe to share.

#include "platform/ui/TThread.h"

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ui {

namespace detail {
class DeadlineWaiter;
}

class TThreadTimer : public QObject {
public:
    explicit TThreadTimer(QObject* parent = nullptr);
    ~TThreadTimer() override;

    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Taken when the thread starts. tpTimeCritical asks for real-time scheduling where the
    // process is allowed it (SetCurrentThreadPriority).
    void SetPriority(TThreadPriority priority) { priority_ = priority; }

    // The tick, on the timer's thread.
    std::function<void()> OnTimer;
    // Ends a tick that blocks, on the owner's thread while the timer is being disabled. It may
    // be called more than once, and also when no tick is running.
    std::function<void()> OnAbort;
    // A tick failed; on the owner's thread, after the timer's thread has ended.
    std::function<void(std::exception_ptr)> OnError;

private:
    using Clock = std::chrono::steady_clock;

    void StartThread();
    void StopThread();
    void Run();
    void DeliverFailure();

    int interval_ = 1000;
    bool enabled_ = false;
    TThreadPriority priority_ = tpNormal;
    std::thread thread_;
    // The timer thread's waits, for the length of the thread; it wakes on any change.
    std::unique_ptr<detail::DeadlineWaiter> waiter_;

    // Shared with the timer's thread.
    std::mutex mutex_;
    // The thread has finished.
    std::condition_variable changed_;
    bool stopping_ = false;
    bool finished_ = false;
    bool ticking_ = false;
    Clock::duration period_{};
    Clock::time_point deadline_{};
    std::exception_ptr failure_;
};

} // namespace ui

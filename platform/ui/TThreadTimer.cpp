#include "platform/ui/TThreadTimer.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "platform/ui/SystemPrivate.h"

#include <QMetaObject>
#include <utility>

namespace ui {

TThreadTimer::TThreadTimer(QObject* parent) : QObject(parent) {}

TThreadTimer::~TThreadTimer() {
    StopThread();
}

void TThreadTimer::SetInterval(int milliseconds) {
    if (!base::Change(interval_, milliseconds) || !enabled_) {
        return;
    }
    if (interval_ <= 0 || !thread_.joinable()) {
        StopThread();
        StartThread();
        return;
    }
    // A real change restarts the period without ending a tick that is running.
    {
        std::lock_guard lock(mutex_);
        period_ = std::chrono::milliseconds(interval_);
        deadline_ = Clock::now() + period_;
    }
    waiter_->Wake();
}

void TThreadTimer::SetEnabled(bool enabled) {
    if (!base::Change(enabled_, enabled)) {
        return;
    }
    if (enabled_) {
        StartThread();
    } else {
        StopThread();
    }
}

void TThreadTimer::StartThread() {
    if (!enabled_ || interval_ <= 0 || thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
        finished_ = false;
        failure_ = nullptr;
        period_ = std::chrono::milliseconds(interval_);
        deadline_ = Clock::now() + period_;
    }
    // Made before the thread and gone after it, so both threads see the one waiter.
    waiter_ = std::make_unique<detail::DeadlineWaiter>();
    thread_ = std::thread([this, priority = priority_] {
        detail::NameCurrentThread("thread timer");
        SetCurrentThreadPriority(priority);
        Run();
    });
}

void TThreadTimer::StopThread() {
    if (!thread_.joinable()) {
        return;
    }
    std::unique_lock lock(mutex_);
    stopping_ = true;
    waiter_->Wake();
    // The thread looks at stopping_ before every tick, so at most the tick that is running (or
    // just starting) is still to end. Each abort ends what that tick waits for; one begun just
    // after an abort is met by the next, a millisecond later (on Windows, a clock tick).
    while (!finished_) {
        if (ticking_ && OnAbort) {
            lock.unlock();
            try {
                OnAbort();
            } catch (...) {
                // An abort that fails (a device already gone) leaves the tick to its own end.
            }
            lock.lock();
        }
        changed_.wait_for(lock, std::chrono::milliseconds(1), [this] { return finished_; });
    }
    // A failure of the ended thread that was not delivered yet no longer counts.
    failure_ = nullptr;
    lock.unlock();
    thread_.join();
    waiter_.reset();
}

void TThreadTimer::Run() {
    bool failed = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        // deadline_ may move (SetInterval) while this waits.
        while (!stopping_ && Clock::now() < deadline_) {
            waiter_->WaitUntil(lock, deadline_);
        }
        if (stopping_) {
            break;
        }
        // As a window timer does: the next deadline follows this one, unless that is past
        // already, in which case the period starts again now.
        const Clock::time_point now = Clock::now();
        deadline_ += period_;
        if (deadline_ < now) {
            deadline_ = now + period_;
        }
        ticking_ = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            if (OnTimer) {
                OnTimer();
            }
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        ticking_ = false;
        if (failure) {
            // An error caused by disabling the timer (an aborted tick) is no failure.
            // Moved, so that the exception object is the owner's alone from here on.
            if (!stopping_) {
                failure_ = std::move(failure);
                failed = true;
            }
            break;
        }
    }
    finished_ = true;
    lock.unlock();
    changed_.notify_all();
    // The owner joins this thread before the object goes, so `this` outlives the call.
    if (failed) {
        QMetaObject::invokeMethod(this, [this] { DeliverFailure(); }, Qt::QueuedConnection);
    }
}

void TThreadTimer::DeliverFailure() {
    std::exception_ptr failure;
    {
        std::lock_guard lock(mutex_);
        failure = std::exchange(failure_, nullptr);
    }
    if (failure && OnError) {
        RunHandler([&] { OnError(failure); });
    }
}

} // namespace ui

#include "platform/ui/TTimerBatch.h"

#include "platform/ui/TTimer.h"

#include <algorithm>

namespace ui {

TTimerBatch::TTimerBatch(int framePeriodMs, QObject* parent)
    : QObject(parent), clock_([] { return Clock::now(); }) {
    frame_.setInterval(framePeriodMs);
    // A frame may move by up to 5 % so that it shares a wake-up with other timers.
    frame_.setTimerType(Qt::CoarseTimer);
    connect(&frame_, &QTimer::timeout, this, &TTimerBatch::RunDue);
}

TTimerBatch::~TTimerBatch() {
    for (TTimer* timer : timers_) {
        timer->batch_ = nullptr;
    }
}

void TTimerBatch::Add(TTimer& timer) {
    if (timer.batch_ != nullptr) {
        return; // a timer belongs to one batch for its life
    }
    timers_.push_back(&timer);
    timer.batch_ = this;
    timer.Restart();
}

void TTimerBatch::Forget(TTimer& timer) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), &timer), timers_.end());
    timer.batch_ = nullptr;
    Changed();
}

TTimerBatch::Clock::time_point TTimerBatch::Now() const {
    return delivering_ ? *delivering_ : clock_();
}

void TTimerBatch::SetClock(std::function<Clock::time_point()> clock) {
    clock_ = std::move(clock);
}

void TTimerBatch::RunDue() {
    if (delivering_) {
        return;
    }
    const Clock::time_point now = clock_();
    for (int delivered = 0; delivered < kMostTicksPerFrame; ++delivered) {
        TTimer* next = nullptr;
        for (TTimer* timer : timers_) {
            if (timer->Ticking() && timer->due_ <= now && (!next || timer->due_ < next->due_)) {
                next = timer;
            }
        }
        if (next == nullptr) {
            return;
        }
        delivering_ = next->due_;
        next->due_ += std::chrono::milliseconds(next->Period());
        next->RunTick();
        delivering_.reset();
    }
    for (TTimer* timer : timers_) {
        if (timer->Ticking() && timer->due_ <= now) {
            timer->due_ = now + std::chrono::milliseconds(timer->Period());
        }
    }
}

void TTimerBatch::Changed() {
    const bool any = std::any_of(timers_.begin(), timers_.end(),
                                 [](const TTimer* timer) { return timer->Ticking(); });
    if (!any) {
        frame_.stop();
    } else if (!frame_.isActive()) {
        frame_.start();
    }
}

} // namespace ui

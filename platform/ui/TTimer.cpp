#include "platform/ui/TTimer.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "platform/ui/TTimerBatch.h"

#include <QTimerEvent>
#include <algorithm>

namespace ui {

TTimer::TTimer(QObject* parent) : QObject(parent) {
    Restart();
}

TTimer::~TTimer() {
    if (batch_ != nullptr) {
        batch_->Forget(*this);
    }
}

void TTimer::SetInterval(int milliseconds) {
    if (milliseconds != interval_) {
        CatchUp();
    }
    if (base::Change(interval_, milliseconds)) {
        Restart();
    }
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled != enabled_) {
        CatchUp();
    }
    if (base::Change(enabled_, enabled)) {
        Restart();
    }
}

void TTimer::CatchUp() {
    // A batched timer's ticks that came due under the old setting are delivered first.
    if (batch_ != nullptr) {
        batch_->RunDue();
    }
}

void TTimer::SetAligned(bool aligned) {
    if (base::Change(aligned_, aligned)) {
        Restart();
    }
}

Qt::TimerType TTimer::TimerType() const {
    // Below 20 ms a 5 % shift is under a millisecond: the toolkit runs such timers precisely.
    constexpr int kShortestAligned = 20;
    return aligned_ && Period() >= kShortestAligned ? Qt::CoarseTimer : Qt::PreciseTimer;
}

int TTimer::Period() const {
    return std::max(interval_, kMinimumPeriod);
}

void TTimer::Restart() {
    if (timerId_ != 0) {
        killTimer(timerId_);
        timerId_ = 0;
    }
    if (batch_ != nullptr) {
        due_ = batch_->Now() + std::chrono::milliseconds(Period());
        batch_->Changed();
        return;
    }
    if (Ticking()) {
        timerId_ = startTimer(Period(), TimerType());
    }
}

void TTimer::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timerId_) {
        QObject::timerEvent(event);
        return;
    }
    RunTick();
}

void TTimer::RunTick() {
    if (!OnTimer) {
        return;
    }
    try {
        OnTimer();
    } catch (...) {
        // The box opens from the event loop rather than inside this tick: the toolkit does not
        // deliver a timer's ticks while its own handler runs, and this timer must keep running
        // while the box is open.
        QMetaObject::invokeMethod(
            this, [message = CurrentExceptionMessage()] { ShowErrorBox(message); },
            Qt::QueuedConnection);
    }
}

} // namespace ui

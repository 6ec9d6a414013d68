#include "platform/ui/TTimer.h"

#include "platform/ui/Application.h"

#include <QTimerEvent>
#include <algorithm>

namespace ui {

TTimer::TTimer(QObject* parent) : QObject(parent) {
    Restart();
}

void TTimer::SetInterval(int milliseconds) {
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    Restart();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Restart();
}

int TTimer::Period() const {
    return std::max(interval_, kMinimumPeriod);
}

void TTimer::Restart() {
    if (timerId_ != 0) {
        killTimer(timerId_);
        timerId_ = 0;
    }
    if (enabled_ && interval_ > 0)
        timerId_ = startTimer(Period(), Qt::PreciseTimer);
}

void TTimer::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timerId_)
        return QObject::timerEvent(event);
    if (OnTimer)
        RunHandler(OnTimer);
}

} // namespace ui

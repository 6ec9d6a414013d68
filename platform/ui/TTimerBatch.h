#pragma once

// Window timers whose ticks are delivered in batches. Each member keeps a window timer's
// semantics (interval, enabled flag, a real change restarts the period, the 10 ms floor) with
// its ticks reckoned on the monotonic clock, but instead of waking the thread for every tick,
// one frame timer runs while any member is enabled and delivers every tick that came due since
// the last frame, in the order of their instants (at the same instant, in the order the timers
// joined). While a tick is delivered, Now() reads that tick's own instant, so a timer that a
// handler restarts starts its period there: the handlers see exactly the sequence that exact
// timers would have given them, however late the frame comes.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace ui {

class TTimer;

class TTimerBatch : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    // A frame that finds more ticks due than this (the thread was held up for many seconds)
    // delivers these and starts the schedules afresh from the frame, instead of replaying all.
    static constexpr int kMostTicksPerFrame = 2000;

    explicit TTimerBatch(int framePeriodMs, QObject* parent = nullptr);
    ~TTimerBatch() override;

    // The timer's ticks come from this batch from now on, for the rest of its life.
    void Add(TTimer& timer);

    // The instant of the tick being delivered; otherwise the clock.
    Clock::time_point Now() const;
    // Delivers every tick due by the clock. The frame timer calls it; so does a member whose
    // enabled flag or interval is changed from outside a tick, before the change, so nothing
    // due is lost or moved by it.
    void RunDue();

    bool FrameActive() const { return frame_.isActive(); }
    // The clock the ticks are reckoned on (steady_clock::now by default), for tests.
    void SetClock(std::function<Clock::time_point()> clock);

private:
    friend class TTimer;
    // A member's schedule changed: the frame timer runs while any member is enabled.
    void Changed();
    // A member is destroyed.
    void Forget(TTimer& timer);
    bool Delivering() const { return delivering_.has_value(); }

    QTimer frame_;
    std::vector<TTimer*> timers_;
    std::optional<Clock::time_point> delivering_;
    std::function<Clock::time_point()> clock_;
};

} // namespace ui

#pragma once

#include <QObject>
#include <chrono>
#include <functional>

namespace ui {

class TTimerBatch;

// A window timer. Assigning the interval or the enabled flag acts only on a real change,
// which restarts the period. Intervals below 10 ms run at 10 ms, the floor of window timers
// on the desktop the program was designed for. An exception escaping the handler goes to the
// error box and the timer keeps running, also while the box is open.
//
// A timer runs precisely by default. An aligned timer lets the toolkit move each tick by up to
// 5 % of its period (Qt::CoarseTimer), so that timers of 20 ms and more wake the thread together
// instead of one by one; the period on average stays the interval. Periods below 20 ms always
// run precisely.
//
// A timer in a batch (TTimerBatch.h) keeps these semantics, but its ticks are delivered by the
// batch's frames instead of waking the thread one by one.
class TTimer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinimumPeriod = 10;

    explicit TTimer(QObject* parent = nullptr);
    ~TTimer() override;

    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // The period the timer really runs at.
    int Period() const;
    bool Aligned() const { return aligned_; }
    // A running timer restarts its period when this really changes.
    void SetAligned(bool aligned);
    // The toolkit's timer type the current period runs with.
    Qt::TimerType TimerType() const;

    std::function<void()> OnTimer;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend class TTimerBatch;

    void Restart();
    void CatchUp();
    bool Ticking() const { return enabled_ && interval_ > 0; }
    // Runs the handler; an exception goes to the error box.
    void RunTick();

    int interval_ = 1000;
    bool enabled_ = true;
    bool aligned_ = false;
    int timerId_ = 0;
    TTimerBatch* batch_ = nullptr;
    std::chrono::steady_clock::time_point due_; // a batched timer's next tick
};

} // namespace ui

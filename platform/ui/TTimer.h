#pragma once

#include <QObject>
#include <functional>

namespace ui {

// A window timer. Assigning the interval or the enabled flag acts only on a real change,
// which restarts the period. Intervals below 10 ms run at 10 ms, the floor of window timers
// on the desktop the program was designed for. An exception escaping the handler goes to the
// error box and the timer keeps running, also while the box is open.
class TTimer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinimumPeriod = 10;

    explicit TTimer(QObject* parent = nullptr);

    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // The period the timer really runs at.
    int Period() const;

    std::function<void()> OnTimer;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Restart();

    int interval_ = 1000;
    bool enabled_ = true;
    int timerId_ = 0;
};

} // namespace ui

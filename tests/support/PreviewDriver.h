#pragma once

// An exact model of the window's pulse preview, for tests that compare the chart with it.

#include "widgets/ChartSeries.h"

#include <QString>

namespace testsupport {

// The preview as the window's timers drive it: a sample every 10 ms (Timer5 at the window
// timers' floor), a flip of the level every `flipMs` (Timer4: 10 ms until the first sweep of the
// process has completed, then the period of the frequency, restarted when it changes), and the
// sweep wiped after sample 200. The first sweep starts at sample 1 (x = 0.1), as after start-up.
class TPreviewDriver {
public:
    TPreviewDriver(TLineSeries& series, int flipMs) : series_(series), flipMs_(flipMs) {}

    // The flip period the next wipe sets (the frequency chosen meanwhile).
    void SetFlipMs(int flipMs) { flipMs_ = flipMs; }

    // The next 10 ms: the flips that came due, then the sample. True when the sweep is complete
    // and Wipe() is due (the window wipes in the same handler).
    bool Sample() {
        now_ += 10;
        while (nextFlip_ <= now_) {
            level_ = level_ + 10.0 > 11.0 ? 1.0 : level_ + 10.0;
            nextFlip_ += interval_;
        }
        ++index_;
        series_.InsertPoint(static_cast<double>(static_cast<long double>(index_) * 0.1L), level_,
                            QString(), clLime);
        return index_ > 200;
    }
    void Wipe() {
        series_.ClearPoints();
        index_ = -1;
        if (interval_ != flipMs_) {
            interval_ = flipMs_;
            nextFlip_ = now_ + interval_;
        }
    }
    // The index of the last sample, -1 right after a wipe.
    int Index() const { return index_; }
    double LastX() const { return static_cast<double>(static_cast<long double>(index_) * 0.1L); }

private:
    TLineSeries& series_;
    int flipMs_;
    int interval_ = 10;
    int now_ = 0;
    int nextFlip_ = 10;
    double level_ = 1.0;
    int index_ = 0;
};

} // namespace testsupport

// Batched window timers on a clock of the test's own: every tick comes at its exact instant, in
// order, however late the frame that delivers it.
#include "platform/ui/TTimer.h"
#include "platform/ui/TTimerBatch.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = ui::TTimerBatch::Clock;
using std::chrono::milliseconds;

class TimerBatch : public ::testing::Test {
protected:
    void SetUp() override {
        batch.SetClock([this] { return now; });
        for (auto* timer : {&flip, &sample}) {
            timer->SetEnabled(false);
            batch.Add(*timer);
        }
        flip.SetInterval(100);
        sample.SetInterval(1); // runs at the 10 ms floor
        flip.OnTimer = [this] { Record("flip"); };
        sample.OnTimer = [this] { Record("sample"); };
    }
    void Record(const char* name) {
        ticks.push_back(name + std::string("@") +
                        std::to_string((batch.Now() - start).count() / 1'000'000));
    }
    void Frame(int advanceMs) {
        now += milliseconds(advanceMs);
        batch.RunDue();
    }

    Clock::time_point start = Clock::time_point() + std::chrono::hours(1);
    Clock::time_point now = start;
    ui::TTimerBatch batch{30};
    ui::TTimer flip;
    ui::TTimer sample;
    std::vector<std::string> ticks;
};

TEST_F(TimerBatch, TicksComeAtTheirInstantsInOrderAndTheFrameRunsOnlyWhileOneIsEnabled) {
    EXPECT_FALSE(batch.FrameActive());
    flip.SetEnabled(true);
    sample.SetEnabled(true);
    EXPECT_TRUE(batch.FrameActive());
    Frame(35);
    EXPECT_EQ(ticks, (std::vector<std::string>{"sample@10", "sample@20", "sample@30"}));
    ticks.clear();
    // Late by a whole second: all of them, each at its instant; at 100 ms the flip goes first,
    // as it joined the batch first.
    Frame(1000);
    ASSERT_EQ(ticks.size(), 100u + 10u);
    EXPECT_EQ(ticks[0], "sample@40");
    EXPECT_EQ(ticks[6], "flip@100");
    EXPECT_EQ(ticks[7], "sample@100");
    EXPECT_EQ(ticks.back(), "sample@1030");
    sample.SetEnabled(false);
    flip.SetEnabled(false);
    EXPECT_FALSE(batch.FrameActive());
}

TEST_F(TimerBatch, RestartInsideATickStartsThePeriodAtThatTicksInstant) {
    flip.SetEnabled(true);
    sample.SetEnabled(true);
    sample.OnTimer = [this] {
        Record("sample");
        if (ticks.size() == 2) {
            flip.SetInterval(50); // at 20 ms, from inside the tick: next flip at 70 ms
        }
    };
    Frame(100);
    std::vector<std::string> flips;
    std::copy_if(ticks.begin(), ticks.end(), std::back_inserter(flips),
                 [](const std::string& tick) { return tick.rfind("flip", 0) == 0; });
    EXPECT_EQ(flips, (std::vector<std::string>{"flip@70"}));
}

TEST_F(TimerBatch, ChangesFromOutsideDeliverWhatWasDueFirstAndLongStallsStartAfresh) {
    sample.SetEnabled(true);
    now += milliseconds(25);
    sample.SetEnabled(false); // STOP: the samples at 10 and 20 ms are not lost
    EXPECT_EQ(ticks, (std::vector<std::string>{"sample@10", "sample@20"}));
    ticks.clear();
    sample.SetEnabled(true); // restarts at 25 ms
    Frame(10);
    EXPECT_EQ(ticks, (std::vector<std::string>{"sample@35"}));

    // An hour asleep: one frame delivers at most its limit, then the schedule starts at the
    // frame's instant.
    ticks.clear();
    Frame(3'600'000);
    EXPECT_EQ(ticks.size(), std::size_t(ui::TTimerBatch::kMostTicksPerFrame));
    ticks.clear();
    Frame(10);
    EXPECT_EQ(ticks, (std::vector<std::string>{"sample@3600045"}));
}

} // namespace

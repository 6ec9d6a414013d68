// Long use of the real window against a pseudo-terminal: many runs, each started, ticked,
// retuned and ended by STOP or by its countdown. The timer handlers are called directly, so
// a run takes a few milliseconds instead of its real ticks.

#include "tests/app/ReliabilityFixture.h"

#include "platform/ui/TThreadTimer.h"
#include "platform/ui/TTrackBar.h"
#include "widgets/Gauges.h"
#include "widgets/Spin.h"

#include <chrono>
#include <string>

namespace {

using testsupport::ErrorBoxes;

class Soak : public testsupport::ReliabilityTest {};

TEST_F(Soak, ThreeHundredRunsLeaveNoDescriptorThreadOrStrayWrite) {
    TMainForm& f = *form_;
    constexpr int kCycles = 300;
    const std::string kPattern = "fffff";
    // The writer and countdown ticks come from the test alone: the writer's thread runs
    // during each run, but its period is longer than the whole test.
    f.Timer1->SetInterval(3600 * 1000);
    f.Timer2->SetEnabled(false);
    Pump(0);
    // One run first: what a process starts once with its first threads (a sanitizer's own
    // background thread) is not a leak of the runs.
    Start();
    Stop();
    Pump(0);
    ASSERT_EQ(pty_->ReadAll(std::chrono::milliseconds(20)), "");
    const int descriptors = OpenDescriptors();
    const int threads = Threads();
    ASSERT_GT(descriptors, 0);
    ASSERT_GT(threads, 0);

    int countdownRuns = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        // Every fifth run is one second long and ends by its countdown.
        const bool countdown = cycle % 5 == 4;
        f.SpinEdit2->SetValue(countdown ? 1 : 100);
        Start();
        ASSERT_TRUE(Running()) << Errors();
        ASSERT_EQ(pty_->Rate(), ComBaudRates[f.BComPort1->BaudRate()]);

        // The far side reads each tick's pattern as it comes, as a driver on the line takes
        // it; closing the port drops what a pseudo-terminal's reader has not read yet.
        const int ticks = 1 + cycle % 3;
        for (int tick = 0; tick < ticks; ++tick) {
            f.Timer1Timer();
            ASSERT_EQ(pty_->Read(kPattern.size()), kPattern);
            f.Timer2Timer();
        }
        // Another frequency during the run reaches the open port at once.
        f.TrackBar1->SetPosition((f.TrackBar1->Position() + 1 + cycle % 4) % 5);
        ASSERT_EQ(pty_->Rate(), ComBaudRates[f.BComPort1->BaudRate()]);
        f.Timer1Timer();
        ASSERT_EQ(pty_->Read(kPattern.size()), kPattern);
        if (cycle % 7 == 0) {
            Pump(0); // now and then the event thread's dispatches are served at once
        }

        if (countdown) {
            for (int tick = 0; tick < 12 && Running(); ++tick) {
                f.Timer2Timer();
            }
            ++countdownRuns;
            EXPECT_EQ(f.Gauge1->PercentComplete(), 100);
        } else {
            Stop();
        }
        ASSERT_TRUE(Idle()) << Errors();

        // Nothing more of the run, and idle ticks and a frequency change write nothing.
        f.Timer1Timer();
        f.Timer2Timer();
        f.TrackBar1->SetPosition((f.TrackBar1->Position() + 2) % 5);
        Pump(0);
        ASSERT_EQ(pty_->ReadAll(std::chrono::milliseconds(3)), "");
    }
    EXPECT_EQ(countdownRuns, kCycles / 5);
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << Errors();
    EXPECT_EQ(pty_->ReadAll(std::chrono::milliseconds(200)), "");
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(Threads(), threads);
}

} // namespace

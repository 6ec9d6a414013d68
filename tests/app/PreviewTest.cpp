#include "tests/app/WindowFixture.h"
#include "tests/support/PreviewDriver.h"

#include "app/PreviewChart.h"
#include "platform/ui/FormatSettings.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TTimer.h"
#include "platform/ui/TTimerBatch.h"
#include "serial/BCPort.h"
#include "widgets/Chart.h"
#include "widgets/ChartAxis.h"
#include "widgets/ChartAxisPanel.h"
#include "widgets/ChartSeries.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class Preview : public testsupport::WindowTest {
protected:
    void Samples(int count) {
        for (int i = 0; i < count; ++i) {
            form_->Timer5Timer();
        }
    }
    double LastX() const {
        const TChartValueList& x = form_->Series1->XValues();
        return x.Value(x.Count() - 1);
    }
};

TEST_F(Preview, AxesAreFixedToZeroTwentyAndTheChartStartsEmpty) {
    TMainForm& f = *form_;
    for (TChartAxis* axis : {&f.Chart1->LeftAxis(), &f.Chart1->BottomAxis()}) {
        EXPECT_FALSE(axis->Automatic());
        EXPECT_EQ(axis->Minimum(), 0.0);
        EXPECT_EQ(axis->Maximum(), 20.0);
    }
    EXPECT_EQ(f.Series1->Count(), 0);
    EXPECT_EQ(f.Series1->SeriesColor(), clRed);
    EXPECT_EQ(f.Chart1->geometry(), QRect(8, 360, 601, 153));
    EXPECT_EQ(f.Chart1->parentWidget(), f.Panel1);
    EXPECT_EQ(f.Chart1->focusPolicy(), Qt::NoFocus);
}

TEST_F(Preview, FlipAlternatesBetweenElevenAndOne) {
    TMainForm& f = *form_;
    std::vector<double> levels;
    for (int i = 0; i < 4; ++i) {
        f.Timer4Timer();
        levels.push_back(f.PulseLevel);
    }
    EXPECT_EQ(levels, (std::vector<double>{11.0, 1.0, 11.0, 1.0}));
}

TEST_F(Preview, SweepsRunOverTwoHundredAndTwoSamplesAndAreThenWiped) {
    TMainForm& f = *form_;
    Samples(1);
    EXPECT_EQ(f.SampleIndex, 1);
    EXPECT_EQ(LastX(), 0.1); // the first sweep of the process starts at sample 1
    EXPECT_EQ(f.Series1->YValues().Value(0), 1.0);
    EXPECT_EQ(f.Series1->ValueColor(0), clLime);
    EXPECT_TRUE(f.Series1->Label(0).isEmpty());
    Samples(199);
    EXPECT_EQ(f.SampleIndex, 200);
    EXPECT_EQ(LastX(), 20.0); // exactly
    EXPECT_EQ(f.Series1->Count(), 200);
    Samples(1); // sample 201 goes in, then the sweep is wiped
    EXPECT_EQ(f.Series1->Count(), 0);
    EXPECT_EQ(f.SampleIndex, -1);
    Samples(1);
    EXPECT_EQ(LastX(), 0.0); // later sweeps start at sample 0
    Samples(201);
    EXPECT_EQ(f.Series1->Count(), 0);
}

TEST_F(Preview, FlipIntervalFollowsTheFrequencyOnlyAtTheEndOfASweep) {
    TMainForm& f = *form_;
    f.cbBaudRate->SetItemIndex(4);
    Samples(150);
    EXPECT_EQ(f.Timer4->Interval(), 10); // unchanged until the first sweep completes
    Samples(51);
    EXPECT_EQ(f.Timer4->Interval(), 100);
    const int expected[] = {500, 400, 300, 200, 100};
    for (int index = 0; index <= 4; ++index) {
        f.cbBaudRate->SetItemIndex(index);
        Samples(202);
        EXPECT_EQ(f.Timer4->Interval(), expected[index]) << index;
    }
    f.cbBaudRate->SetItemIndex(-1); // no selection leaves the interval as it is
    Samples(202);
    EXPECT_EQ(f.Timer4->Interval(), 100);
}

TEST_F(Preview, RunShorterThanASweepLeavesItForTheNextRunToContinue) {
    TMainForm& f = *form_;
    Start();
    ASSERT_TRUE(f.BComPort1->Connected());
    EXPECT_TRUE(f.Timer4->Enabled());
    EXPECT_TRUE(f.Timer5->Enabled());
    Pump(200);
    Stop();
    EXPECT_FALSE(f.Timer4->Enabled());
    EXPECT_FALSE(f.Timer5->Enabled());
    const int index = f.SampleIndex;
    const int count = f.Series1->Count();
    const double level = f.PulseLevel;
    ASSERT_GT(count, 0);
    ASSERT_LT(index, 201);
    EXPECT_EQ(count, index); // the first sweep began at sample 1
    Pump(150);
    EXPECT_EQ(f.SampleIndex, index);
    EXPECT_EQ(f.Series1->Count(), count);
    EXPECT_EQ(f.PulseLevel, level);

    Start();
    ASSERT_TRUE(f.BComPort1->Connected())
        << testsupport::ErrorBoxes::Texts().join(QChar(10)).toStdString();
    Pump(60);
    Stop();
    EXPECT_GT(f.SampleIndex, index);
    EXPECT_EQ(f.Series1->XValues().Value(count),
              static_cast<double>(static_cast<long double>(index + 1) * 0.1L));
}

TEST_F(Preview, ClockFillsDateAndTimeOnItsTick) {
    TMainForm& f = *form_;
    EXPECT_EQ(f.Edit2->text(), QStringLiteral(" "));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral(" "));
    Pump(1100);
    EXPECT_NE(f.Edit2->text(), QStringLiteral(" "));
    EXPECT_NE(f.Edit3->text(), QStringLiteral(" "));
    const ui::TFormatSettings& settings = ui::FormatSettings();
    EXPECT_EQ(f.Edit2->text(), ui::FormatShortDate(QDate::currentDate(), settings));
    EXPECT_TRUE(f.Edit3->text().contains(settings.TimeSeparator));
}

TEST_F(Preview, FramesDrawWhatExactTimersDrawSampleBySample) {
    TMainForm& f = *form_;
    auto* frames = f.findChild<ui::TTimerBatch*>();
    ASSERT_NE(frames, nullptr);
    auto now = ui::TTimerBatch::Clock::time_point() + std::chrono::hours(1);
    frames->SetClock([&] { return now; });
    f.Timer4->SetEnabled(true);
    f.Timer5->SetEnabled(true);
    // The reference: a chart of its own, fed one sample at a time by exact 10 ms timers.
    TChart exact;
    testsupport::TPreviewDriver driver(ConfigurePreviewChart(exact), 10);
    FixPreviewAxes(exact);
    exact.resize(kPreviewChartBounds.size());
    static constexpr int kFlips[] = {500, 400, 300, 200, 100};
    // Frames of 30 ms through a sweep at every frequency (each sweep's end sets the next flip
    // period), then a frame late by 100 ms and one late by a whole sweep.
    std::vector<int> frameMs(6 * 2020 / 30, 30);
    frameMs.insert(frameMs.end(), {130, 2020, 30});
    int elapsed = 0;
    int sampled = 0;
    for (std::size_t n = 0; n < frameMs.size(); ++n) {
        const int frequency = std::min<int>(4, elapsed / 2020);
        f.cbBaudRate->SetItemIndex(frequency);
        driver.SetFlipMs(kFlips[frequency]);
        elapsed += frameMs[n];
        now += std::chrono::milliseconds(frameMs[n]);
        frames->RunDue();
        for (; sampled < elapsed / 10; ++sampled) {
            if (driver.Sample()) {
                driver.Wipe();
            }
            exact.UpdateOffscreenImage();
        }
        ASSERT_EQ(f.SampleIndex, driver.Index()) << "frame " << n;
        f.Chart1->UpdateOffscreenImage();
        ASSERT_TRUE(f.Chart1->OffscreenImage() == exact.OffscreenImage()) << "frame " << n;
    }
    EXPECT_GT(sampled, 7 * 202); // the sweep's wrap came several times
    f.Timer4->SetEnabled(false);
    f.Timer5->SetEnabled(false);
}

} // namespace

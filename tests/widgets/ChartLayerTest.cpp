#include "tests/support/PreviewDriver.h"
#include "tests/widgets/ChartTestSupport.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using charttest::TWindowChart;
using testsupport::TPreviewDriver;

void Sweep(TLineSeries& series, int samples, int flipEvery) {
    double level = 1.0;
    for (int i = 0; i < samples; ++i) {
        if (i % flipEvery == 0) {
            level = level == 1.0 ? 11.0 : 1.0;
        }
        series.InsertPoint(static_cast<double>(static_cast<long double>(i) * 0.1L), level,
                           QString(), clLime);
    }
}

TEST(ChartStaticLayer, NewPointsRedrawOnlyTheSeriesAndLookLikeAFullRedraw) {
    TWindowChart kept;
    kept.chart->UpdateOffscreenImage();
    const int statics = TChartProbe::StaticRedrawCount(*kept.chart);
    for (int step = 1; step <= 20; ++step) {
        kept.series->InsertPoint(step * 0.5, step % 2 == 0 ? 11.0 : 1.0, QString(), clLime);
        kept.chart->UpdateOffscreenImage();
    }
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*kept.chart), statics);
    EXPECT_EQ(kept.chart->RedrawCount(), 21);
    EXPECT_EQ(kept.chart->IncrementalRedrawCount(), 20);

    TWindowChart fresh;
    for (int step = 1; step <= 20; ++step) {
        fresh.series->InsertPoint(step * 0.5, step % 2 == 0 ? 11.0 : 1.0, QString(), clLime);
    }
    fresh.chart->UpdateOffscreenImage();
    EXPECT_EQ(kept.chart->OffscreenImage(), fresh.chart->OffscreenImage());

    kept.series->ClearPoints();
    kept.chart->UpdateOffscreenImage();
    TWindowChart empty;
    empty.chart->UpdateOffscreenImage();
    EXPECT_EQ(kept.chart->OffscreenImage(), empty.chart->OffscreenImage());
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*kept.chart), statics);
}

TEST(ChartStaticLayer, DataThatMovesTheAxesRedrawsTheLayer) {
    TWindowChart chart;
    chart.chart->LeftAxis().SetAutomatic(true);
    Sweep(*chart.series, 50, 10);
    chart.chart->UpdateOffscreenImage();
    const int statics = TChartProbe::StaticRedrawCount(*chart.chart);
    chart.series->InsertPoint(6.0, 40.0, QString(), clLime); // widens the automatic left axis
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*chart.chart), statics + 1);
    EXPECT_EQ(chart.chart->LeftAxis().Maximum(), 40.0);

    TWindowChart fresh;
    fresh.chart->LeftAxis().SetAutomatic(true);
    Sweep(*fresh.series, 50, 10);
    fresh.series->InsertPoint(6.0, 40.0, QString(), clLime);
    fresh.chart->UpdateOffscreenImage();
    EXPECT_EQ(chart.chart->OffscreenImage(), fresh.chart->OffscreenImage());

    // A label on the first point turns the axes to text labels: the layer follows.
    chart.series->InsertPoint(-1.0, 5.0, QStringLiteral("A"), clLime);
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*chart.chart), statics + 2);
}

TEST(ChartStaticLayer, SettingsAndZoomRedrawTheLayer) {
    TWindowChart chart;
    chart.chart->UpdateOffscreenImage();
    const int statics = TChartProbe::StaticRedrawCount(*chart.chart);
    chart.chart->BottomAxis().SetAxisRange(5.0, 10.0);
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*chart.chart), statics + 1);
    chart.chart->SetColor(clGray);
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*chart.chart), statics + 2);
    chart.chart->resize(300, 100);
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*chart.chart), statics + 3);
    EXPECT_EQ(chart.chart->OffscreenImage().size(), QSize(300, 100));
}

// ---- Incremental updates ------------------------------------------------------------------

// The smallest rectangle holding every pixel in which two images of the same size differ.
QRect Difference(const QImage& a, const QImage& b) {
    QRect bounds;
    const auto rowBytes = static_cast<std::size_t>(a.width()) * 4;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        if (std::memcmp(rowA, rowB, rowBytes) == 0) {
            continue;
        }
        for (int x = 0; x < a.width(); ++x) {
            if (rowA[x] != rowB[x]) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

struct TView {
    const char* name;
    std::function<void(TChart&)> apply;
};

void Pan(TChart& chart, QPoint from, QPoint to) {
    chart.UpdateOffscreenImage(); // lays the plot out
    QTest::mousePress(&chart, Qt::RightButton, Qt::NoModifier, from);
    QTest::mouseMove(&chart, to);
    QTest::mouseRelease(&chart, Qt::RightButton, Qt::NoModifier, to);
}

class ChartIncremental : public ::testing::TestWithParam<TView> {
protected:
    // Two charts in the same view get the same samples; after every change one is brought up to
    // date as a new sample does, the other redrawn completely. The pictures must be the same,
    // and what changed must lie inside the rectangle the update reports.
    void RunSweeps(int flipMs, int sweeps) {
        TWindowChart kept;
        TWindowChart full;
        GetParam().apply(*kept.chart);
        GetParam().apply(*full.chart);
        kept.chart->UpdateOffscreenImage();
        TPreviewDriver keptDriver(*kept.series, flipMs);
        TPreviewDriver fullDriver(*full.series, flipMs);
        const chart::TPixelRect& rect = TChartProbe::ChartRect(*kept.chart);
        // Unclipped strokes may reach beyond the plot, never beyond the control.
        const QRect limit = kept.chart->ClipPoints()
                                ? QRect(rect.left, rect.top, rect.Width(), rect.Height())
                                : kept.chart->rect();
        const std::string where =
            std::string(GetParam().name) + ", flips every " + std::to_string(flipMs) + " ms, x = ";
        const auto compare = [&](bool wiped) {
            const QImage before = kept.chart->OffscreenImage().copy();
            const int incremental = kept.chart->IncrementalRedrawCount();
            const QRect changed = kept.chart->UpdateOffscreenImage();
            full.chart->RequestRepaint();
            full.chart->UpdateOffscreenImage();
            const std::string at =
                where + std::to_string(keptDriver.LastX()) + (wiped ? " (wiped)" : "");
            ASSERT_EQ(kept.chart->OffscreenImage(), full.chart->OffscreenImage()) << at;
            if (wiped) {
                EXPECT_EQ(changed, kept.chart->rect()) << at; // the clearing redraws
                return;
            }
            EXPECT_EQ(kept.chart->IncrementalRedrawCount(), incremental + 1) << at;
            const QRect difference = Difference(before, kept.chart->OffscreenImage());
            EXPECT_TRUE(changed.contains(difference) || difference.isEmpty()) << at;
            EXPECT_TRUE(limit.contains(changed) || changed.isEmpty()) << at;
        };
        for (int wipes = 0; wipes < sweeps;) {
            const bool wipe = keptDriver.Sample();
            fullDriver.Sample();
            compare(false);
            if (HasFatalFailure()) {
                return;
            }
            if (wipe) {
                keptDriver.Wipe();
                fullDriver.Wipe();
                compare(true);
                ++wipes;
            }
        }
    }
};

TEST_P(ChartIncremental, EverySampleLooksLikeAFullRedrawAtEveryFlipPeriod) {
    // The first sweep after start-up (10 ms flips, from x = 0.1), then one at the period (two in
    // the window's own view).
    const int sweeps = std::string(GetParam().name) == "window view" ? 3 : 2;
    for (const int flipMs : {100, 200, 300, 400, 500}) {
        RunSweeps(flipMs, sweeps);
        if (HasFatalFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Views, ChartIncremental,
    ::testing::Values(
        TView{"window view", [](TChart&) {}},
        TView{"zoomed",
              [](TChart& c) {
                  c.UpdateOffscreenImage(); // lays the plot out
                  c.ZoomRect(QRect(100, 30, 200, 60));
              }},
        TView{"panned", [](TChart& c) { Pan(c, {300, 70}, {190, 95}); }},
        // Level 11.0 lies about 126000 pixels above the plot: those points are skipped.
        TView{"beyond the pixel range", [](TChart& c) { c.LeftAxis().SetAxisRange(0.995, 1.005); }},
        TView{"no clipping", [](TChart& c) { c.SetClipPoints(false); }}),
    [](const ::testing::TestParamInfo<TView>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (c == ' ') {
                c = '_';
            }
        }
        return name;
    });

TEST(ChartIncremental, ANewSampleTouchesOnlyItsSegment) {
    TWindowChart window;
    TPreviewDriver driver(*window.series, 100);
    for (int i = 0; i < 60; ++i) {
        driver.Sample();
    }
    window.chart->UpdateOffscreenImage();
    // The level flips between these samples: a slanted segment one x step wide, 63 rows high.
    driver.Sample();
    const QRect changed = window.chart->UpdateOffscreenImage();
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_LE(changed.width(), 3 + 2 + 2); // one x step (2.9 pixels) plus the pen on both sides
    EXPECT_LE(changed.height(), 64 + 2 + 2);
    EXPECT_EQ(TChartProbe::StaticRedrawCount(*window.chart), 1);

    // Run to x = 20.0, on the right edge: the segment 20.0 -> 20.1 lies beyond the plot.
    while (driver.LastX() < 20.0) {
        driver.Sample();
    }
    window.chart->UpdateOffscreenImage();
    const QImage atTwenty = window.chart->OffscreenImage().copy();
    ASSERT_TRUE(driver.Sample());
    EXPECT_TRUE(window.chart->UpdateOffscreenImage().isEmpty());
    EXPECT_EQ(window.chart->OffscreenImage(), atTwenty);
    driver.Wipe();
    EXPECT_EQ(window.chart->UpdateOffscreenImage(), window.chart->rect());
}

TEST(ChartIncremental, SettingsZoomPanningAndTheWheelStillRedrawFully) {
    TWindowChart window;
    TChart& chart = *window.chart;
    TPreviewDriver driver(*window.series, 100);
    for (int i = 0; i < 30; ++i) {
        driver.Sample();
    }
    chart.UpdateOffscreenImage();
    const auto expectFull = [&](const char* what) {
        const int incremental = chart.IncrementalRedrawCount();
        EXPECT_EQ(chart.UpdateOffscreenImage(), chart.rect()) << what;
        EXPECT_EQ(chart.IncrementalRedrawCount(), incremental) << what;
    };
    window.series->LinePen().SetWidth(3);
    expectFull("pen width");
    chart.ZoomRect(QRect(50, 20, 100, 50));
    expectFull("zoom");
    chart.UndoZoom();
    expectFull("undo");
    Pan(chart, {300, 70}, {250, 70});
    expectFull("panning");
    QWheelEvent wheel(QPointF(300, 70), QPointF(300, 70), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&chart, &wheel);
    expectFull("wheel");
    chart.resize(400, 120);
    expectFull("resize");
    // A wide pen widens the rectangle a new segment touches.
    driver.Sample();
    const QRect changed = chart.UpdateOffscreenImage();
    EXPECT_GE(changed.width(), 3 * 2);
    EXPECT_LT(changed.width(), chart.width() / 4);
}

// Records the regions of the paint events a widget receives.
class TPaintRecorder : public QObject {
public:
    std::vector<QRegion> regions;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            regions.push_back(static_cast<QPaintEvent*>(event)->region());
        }
        return false;
    }
};

TEST(ChartIncremental, AShownChartRepaintsOnlyTheNewSegment) {
    TWindowChart window;
    TChart& chart = *window.chart;
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    TPreviewDriver driver(*window.series, 100);
    for (int i = 0; i < 40; ++i) {
        driver.Sample();
    }
    QTRY_VERIFY(!TChartProbe::Dirty(chart));
    QApplication::processEvents();
    TPaintRecorder recorder;
    chart.installEventFilter(&recorder);

    for (int i = 0; i < 3; ++i) {
        driver.Sample(); // several samples before the loop comes round: one update
    }
    EXPECT_TRUE(TChartProbe::Dirty(chart));
    QTRY_VERIFY(!recorder.regions.empty());
    EXPECT_FALSE(TChartProbe::Dirty(chart));
    ASSERT_EQ(recorder.regions.size(), 1u);
    const QRect painted = recorder.regions[0].boundingRect();
    EXPECT_LE(painted.width(), 3 * 3 + 4);
    EXPECT_TRUE(chart.rect().contains(painted));
    EXPECT_EQ(window.Grab(), chart.OffscreenImage()); // the screen shows the whole new picture

    recorder.regions.clear();
    driver.Wipe();
    QTRY_VERIFY(!recorder.regions.empty());
    EXPECT_EQ(recorder.regions.back().boundingRect(), chart.rect());
    chart.removeEventFilter(&recorder);
}

} // namespace

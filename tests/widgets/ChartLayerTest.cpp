#include "tests/widgets/ChartTestSupport.h"

#include <gtest/gtest.h>

namespace {

using charttest::TWindowChart;

void Sweep(TLineSeries& series, int samples, int flipEvery) {
    double level = 1.0;
    for (int i = 0; i < samples; ++i) {
        if (i % flipEvery == 0)
            level = level == 1.0 ? 11.0 : 1.0;
        series.InsertPoint(static_cast<double>(static_cast<long double>(i) * 0.1L), level,
                           QString(), clLime);
    }
}

TEST(ChartStaticLayer, NewPointsRedrawOnlyTheSeriesAndLookLikeAFullRedraw) {
    TWindowChart kept;
    kept.chart->UpdateOffscreenImage();
    const int statics = kept.chart->StaticRedrawCount();
    for (int step = 1; step <= 20; ++step) {
        kept.series->InsertPoint(step * 0.5, step % 2 == 0 ? 11.0 : 1.0, QString(), clLime);
        kept.chart->UpdateOffscreenImage();
    }
    EXPECT_EQ(kept.chart->StaticRedrawCount(), statics);
    EXPECT_EQ(kept.chart->RedrawCount(), 21);

    TWindowChart fresh;
    for (int step = 1; step <= 20; ++step)
        fresh.series->InsertPoint(step * 0.5, step % 2 == 0 ? 11.0 : 1.0, QString(), clLime);
    fresh.chart->UpdateOffscreenImage();
    EXPECT_EQ(kept.chart->OffscreenImage(), fresh.chart->OffscreenImage());

    kept.series->ClearPoints();
    kept.chart->UpdateOffscreenImage();
    TWindowChart empty;
    empty.chart->UpdateOffscreenImage();
    EXPECT_EQ(kept.chart->OffscreenImage(), empty.chart->OffscreenImage());
    EXPECT_EQ(kept.chart->StaticRedrawCount(), statics);
}

TEST(ChartStaticLayer, DataThatMovesTheAxesRedrawsTheLayer) {
    TWindowChart chart;
    chart.chart->LeftAxis().SetAutomatic(true);
    Sweep(*chart.series, 50, 10);
    chart.chart->UpdateOffscreenImage();
    const int statics = chart.chart->StaticRedrawCount();
    chart.series->InsertPoint(6.0, 40.0, QString(), clLime); // widens the automatic left axis
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(chart.chart->StaticRedrawCount(), statics + 1);
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
    EXPECT_EQ(chart.chart->StaticRedrawCount(), statics + 2);
}

TEST(ChartStaticLayer, SettingsAndZoomRedrawTheLayer) {
    TWindowChart chart;
    chart.chart->UpdateOffscreenImage();
    const int statics = chart.chart->StaticRedrawCount();
    chart.chart->BottomAxis().SetAxisRange(5.0, 10.0);
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(chart.chart->StaticRedrawCount(), statics + 1);
    chart.chart->SetColor(clGray);
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(chart.chart->StaticRedrawCount(), statics + 2);
    chart.chart->resize(300, 100);
    chart.chart->UpdateOffscreenImage();
    EXPECT_EQ(chart.chart->StaticRedrawCount(), statics + 3);
    EXPECT_EQ(chart.chart->OffscreenImage().size(), QSize(300, 100));
}

} // namespace

// Series operations: ordered insertion, colours, labels, clearing and repaint requests.
#include "tests/widgets/ChartTestSupport.h"

#include <gtest/gtest.h>

using namespace charttest;

TEST(ChartSeries, Defaults) {
    TLineSeries series;
    EXPECT_TRUE(series.Active());
    EXPECT_EQ(series.SeriesColor(), clDefaultColor);
    EXPECT_FALSE(series.ColorEachPoint());
    EXPECT_EQ(series.HorizAxis(), aBottomAxis);
    EXPECT_EQ(series.VertAxis(), aLeftAxis);
    EXPECT_EQ(series.XValues().Name(), "X");
    EXPECT_EQ(series.XValues().Order(), loAscending);
    EXPECT_EQ(series.YValues().Name(), "Y");
    EXPECT_EQ(series.YValues().Order(), loNone);
    EXPECT_EQ(series.XValues().Multiplier(), 1.0);
    EXPECT_FALSE(series.XValues().DateTime());
    EXPECT_EQ(series.LinePen().Color(), clBlack);
    EXPECT_EQ(series.LinePen().Width(), 1);
    EXPECT_EQ(series.LinePen().Style(), psSolid);
    EXPECT_FALSE(series.Stairs());
    EXPECT_FALSE(series.Pointer().Visible());
    EXPECT_EQ(series.Pointer().Style(), psRectangle);
    EXPECT_EQ(series.Pointer().HorizSize(), 4);
    EXPECT_EQ(series.Pointer().VertSize(), 4);
    EXPECT_TRUE(series.Pointer().InflateMargins());
    EXPECT_EQ(series.ValueFormat(), "#,##0.###");
    EXPECT_EQ(series.Count(), 0);
    EXPECT_EQ(series.FirstValueIndex(), -1);
    EXPECT_EQ(series.LastValueIndex(), -1);
}

TEST(ChartSeries, OrderedInsertionKeepsEqualValuesInInsertionOrder) {
    TLineSeries series;
    struct Case {
        double x;
        const char* label;
        int index;
    };
    for (const Case& c : {Case{3, "a", 0}, Case{1, "b", 0}, Case{2, "c", 1}, Case{2, "d", 2},
                          Case{0, "e", 0}, Case{3, "f", 5}, Case{2, "g", 4}}) {
        EXPECT_EQ(series.InsertPoint(c.x, c.x * 10, QString::fromLatin1(c.label), clLime), c.index)
            << c.label;
    }
    QString labels;
    for (int i = 0; i < series.Count(); ++i) {
        labels += series.Label(i);
        EXPECT_EQ(series.YValues().Value(i), series.XValues().Value(i) * 10);
    }
    EXPECT_EQ(labels, "ebcdgaf");
    // Y values are never reordered.
    TLineSeries unordered;
    unordered.XValues().SetOrder(loNone);
    unordered.InsertPoint(3, 1, {}, clLime);
    EXPECT_EQ(unordered.InsertPoint(1, 2, {}, clLime), 1);
}

TEST(ChartSeries, PointColoursAndLabels) {
    TLineSeries series;
    series.SetSeriesColor(clRed);
    series.InsertPoint(0, 0, QString(), clLime);
    series.InsertPoint(1, 0, QStringLiteral("x"), clDefaultColor);
    series.InsertPoint(2, 0, QString(), clNone);
    EXPECT_EQ(series.ValueColor(0), clLime);
    EXPECT_EQ(series.ValueColor(1), clRed); // default colour: the series' colour
    EXPECT_EQ(series.ValueColor(2), clNone);
    EXPECT_EQ(series.ValueColor(3), clRed); // beyond the list
    EXPECT_EQ(series.Label(0), QString());
    EXPECT_EQ(series.Label(1), "x");
    EXPECT_EQ(series.Label(7), QString());
    series.XValues().SetMultiplier(2.0);
    EXPECT_EQ(series.XValues().Value(2), 4.0);
    EXPECT_EQ(series.XValues().Stored()[2], 2.0);
    EXPECT_EQ(series.XValues().MaxValue(), 4.0);
}

TEST(ChartSeries, InsertAndClearRequestRepaints) {
    TWindowChart window;
    TChart& chart = *window.chart;
    TLineSeries& series = *window.series;
    chart.UpdateOffscreenImage();
    series.ClearPoints(); // empty, still a request
    EXPECT_TRUE(TChartProbe::Dirty(chart));
    chart.UpdateOffscreenImage();
    series.InsertPoint(1, 1, {}, clLime);
    EXPECT_TRUE(TChartProbe::Dirty(chart));
    chart.UpdateOffscreenImage();
    series.ClearPoints();
    EXPECT_EQ(series.Count(), 0);
    EXPECT_EQ(series.XValues().Count(), 0);
    EXPECT_EQ(series.YValues().Count(), 0);
    EXPECT_EQ(series.Label(0), QString());
    EXPECT_TRUE(TChartProbe::Dirty(chart));
    // An inactive series changes the picture by neither.
    series.SetActive(false);
    chart.UpdateOffscreenImage();
    series.InsertPoint(1, 1, {}, clLime);
    series.ClearPoints();
    EXPECT_FALSE(TChartProbe::Dirty(chart));
}

TEST(ChartSeries, ChartOwnsItsSeries) {
    // Destroyed with the chart (under ASan a double free or a use after free would show).
    auto chart = std::make_unique<TChart>();
    TLineSeries& series = chart->AddSeries<TLineSeries>();
    series.InsertPoint(1, 1, {}, clLime);
    EXPECT_EQ(&*chart, series.ParentChart());
    EXPECT_EQ(chart->SeriesCount(), 1);
    EXPECT_EQ(&chart->Series(0), &series);
    chart.reset();
}

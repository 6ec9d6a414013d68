// Axis operations, defaults and label rules.
#include "tests/widgets/ChartTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace charttest;

TEST(ChartAxis, DefaultsOfChartAxesAndPens) {
    TChart chart;
    EXPECT_EQ(chart.Color(), clBtnFace);
    EXPECT_EQ(chart.BevelOuter(), bvRaised);
    EXPECT_EQ(chart.BevelInner(), bvNone);
    EXPECT_EQ(chart.BevelWidth(), 1);
    EXPECT_EQ(chart.BorderWidth(), 0);
    EXPECT_EQ(chart.MarginLeft(), 3);
    EXPECT_EQ(chart.MarginTop(), 4);
    EXPECT_EQ(chart.MarginRight(), 3);
    EXPECT_EQ(chart.MarginBottom(), 4);
    EXPECT_TRUE(chart.View3D());
    EXPECT_TRUE(chart.AxisVisible());
    EXPECT_TRUE(chart.ClipPoints());
    EXPECT_TRUE(chart.AllowZoom());
    EXPECT_EQ(chart.AllowPanning(), pmBoth);
    EXPECT_TRUE(chart.Title().Visible());
    EXPECT_TRUE(chart.Title().Text().isEmpty());
    EXPECT_TRUE(chart.Foot().Visible());
    EXPECT_EQ(chart.BackWall().Brush().Style(), bsClear);
    EXPECT_EQ(chart.BackWall().Color(), clDefaultColor);
    EXPECT_EQ(chart.BackWall().Pen().Color(), clBlack);
    EXPECT_EQ(chart.BackWall().Pen().Width(), 1);
    EXPECT_TRUE(chart.BackWall().Pen().Visible());

    struct PenCase {
        const TChartPen* pen;
        TColor color;
        int width;
        TPenStyle style;
        bool visible;
    };
    const TChartAxis& axis = chart.LeftAxis();
    const TChartPen plain;
    for (const PenCase& c : {PenCase{&plain, clBlack, 1, psSolid, true},
                             PenCase{&axis.Axis(), clBlack, 2, psSolid, true},
                             PenCase{&axis.Ticks(), clGray, 1, psSolid, true},
                             PenCase{&axis.TicksInner(), clGray, 1, psSolid, true},
                             PenCase{&axis.MinorTicks(), clGray, 1, psSolid, true},
                             PenCase{&axis.Grid(), clGray, 1, psDot, true},
                             PenCase{&axis.MinorGrid(), clBlack, 1, psSolid, false}}) {
        EXPECT_EQ(c.pen->Color(), c.color);
        EXPECT_EQ(c.pen->Width(), c.width);
        EXPECT_EQ(c.pen->Style(), c.style);
        EXPECT_EQ(c.pen->Visible(), c.visible);
        EXPECT_FALSE(c.pen->SmallDots());
    }

    EXPECT_TRUE(axis.Automatic() && axis.AutomaticMinimum() && axis.AutomaticMaximum());
    EXPECT_EQ(axis.Minimum(), 0.0);
    EXPECT_EQ(axis.Maximum(), 0.0);
    EXPECT_EQ(axis.Increment(), 0.0);
    EXPECT_TRUE(axis.Visible() && axis.Labels() && axis.LabelsOnAxis());
    EXPECT_EQ(axis.LabelsFont().family(), "Arial");
    EXPECT_EQ(axis.LabelsFontColor(), clBlack);
    EXPECT_EQ(axis.LabelsSeparation(), 10);
    EXPECT_EQ(axis.LabelStyle(), talAuto);
    EXPECT_EQ(axis.LabelsAngle(), 0);
    EXPECT_EQ(axis.LabelsSize(), 0);
    EXPECT_EQ(axis.AxisValuesFormat(), "#,##0.###");
    EXPECT_TRUE(axis.RoundFirstLabel() && axis.TickOnLabelsOnly());
    EXPECT_EQ(axis.TickLength(), 4);
    EXPECT_EQ(axis.TickInnerLength(), 0);
    EXPECT_EQ(axis.MinorTickLength(), 2);
    EXPECT_EQ(axis.MinorTickCount(), 3);
    EXPECT_FALSE(axis.GridCentered() || axis.Inverted() || axis.Logarithmic());
    EXPECT_EQ(axis.StartPosition(), 0.0);
    EXPECT_EQ(axis.EndPosition(), 100.0);
    EXPECT_EQ(axis.PositionPercent(), 0.0);
    EXPECT_TRUE(chart.BottomAxis().Horizontal() && !chart.BottomAxis().OtherSide());
    EXPECT_TRUE(chart.TopAxis().Horizontal() && chart.TopAxis().OtherSide());
    EXPECT_TRUE(!chart.LeftAxis().Horizontal() && !chart.LeftAxis().OtherSide());
    EXPECT_TRUE(!chart.RightAxis().Horizontal() && chart.RightAxis().OtherSide());
    const auto axes = chart.AxesList();
    EXPECT_EQ(axes[0], &chart.BottomAxis());
    EXPECT_EQ(axes[1], &chart.TopAxis());
    EXPECT_EQ(axes[2], &chart.LeftAxis());
    EXPECT_EQ(axes[3], &chart.RightAxis());
    EXPECT_EQ(axes[4], &chart.DepthAxis());
}

TEST(ChartAxis, SetAxisRangeSwapsAndWidens) {
    struct Case {
        double minimum;
        double maximum;
        double expectedMinimum;
        double expectedMaximum;
    };
    for (const Case& c :
         {Case{0, 20, 0, 20}, Case{20, 0, 0, 20}, Case{5, 5, 5, 5 + 1e-10},
          Case{1, 1 + 1e-11, 1, 1 + 1e-10}, Case{30, 40, 30, 40}, Case{-40, -30, -40, -30}}) {
        TChart chart;
        TChartAxis& axis = chart.LeftAxis();
        axis.SetAxisRange(0, 20);
        EXPECT_NO_THROW(axis.SetAxisRange(c.minimum, c.maximum));
        EXPECT_EQ(axis.Minimum(), c.expectedMinimum) << c.minimum << " " << c.maximum;
        EXPECT_EQ(axis.Maximum(), c.expectedMaximum) << c.minimum << " " << c.maximum;
        EXPECT_FALSE(axis.Automatic() || axis.AutomaticMinimum() || axis.AutomaticMaximum());
    }
}

TEST(ChartAxis, SingleEndSettersRefuseCrossedValues) {
    TChart chart;
    TChartAxis& axis = chart.BottomAxis();
    axis.SetAxisRange(0, 20);
    try {
        axis.SetMinimum(21);
        FAIL() << "no exception";
    } catch (const AxisException& error) {
        EXPECT_STREQ(error.what(), "Axis Minimum Value must be <= Maximum");
    }
    try {
        axis.SetMaximum(-1);
        FAIL() << "no exception";
    } catch (const Exception& error) { // the program's error base
        EXPECT_EQ(error.Message(), "Axis Maximum Value must be >= Minimum");
    }
    EXPECT_EQ(axis.Minimum(), 0.0);
    EXPECT_EQ(axis.Maximum(), 20.0);
    axis.SetMinimum(20); // equal ends are allowed
    axis.SetMaximum(20);
    EXPECT_EQ(axis.Minimum(), 20.0);
    // While loading stored settings the ends are taken unchecked.
    chart.SetLoading(true);
    axis.SetMinimum(50);
    axis.SetMaximum(40);
    chart.SetLoading(false);
    EXPECT_EQ(axis.Minimum(), 50.0);
    EXPECT_EQ(axis.Maximum(), 40.0);

    EXPECT_THROW(axis.SetIncrement(-0.5), AxisException);
    try {
        axis.SetIncrement(-1);
    } catch (const AxisException& error) {
        EXPECT_STREQ(error.what(), "Axis increment must be >= 0");
    }
    EXPECT_EQ(axis.Increment(), 0.0);
    axis.SetIncrement(2.5);
    EXPECT_EQ(axis.Increment(), 2.5);
}

TEST(ChartAxis, AutomaticFlags) {
    TChart chart;
    TChartAxis& axis = chart.LeftAxis();
    axis.SetAutomatic(false);
    EXPECT_FALSE(axis.AutomaticMinimum() || axis.AutomaticMaximum());
    // Automatic false alone keeps the range last computed: 0 ... 0 before any paint.
    EXPECT_EQ(axis.Minimum(), 0.0);
    EXPECT_EQ(axis.Maximum(), 0.0);
    axis.SetAutomatic(true);
    EXPECT_TRUE(axis.AutomaticMinimum() && axis.AutomaticMaximum());

    axis.SetAutomaticMinimum(false); // false: Automatic follows, the other end stays
    EXPECT_FALSE(axis.Automatic());
    EXPECT_TRUE(axis.AutomaticMaximum());
    axis.SetAutomaticMaximum(false);
    axis.SetAutomaticMaximum(true); // true but the other flag false: Automatic stays
    EXPECT_FALSE(axis.Automatic());
    axis.SetAutomaticMinimum(true); // true with the other true: Automatic follows
    EXPECT_TRUE(axis.Automatic());

    chart.SetLoading(true); // while loading, Automatic leaves the end flags alone
    axis.SetAutomatic(false);
    EXPECT_TRUE(axis.AutomaticMinimum() && axis.AutomaticMaximum());
}

TEST(ChartAxis, AutomaticRangeComesFromTheData) {
    TChart chart;
    chart.resize(400, 200);
    TLineSeries& series = chart.AddSeries<TLineSeries>();
    chart.UpdateOffscreenImage();
    EXPECT_EQ(chart.LeftAxis().Maximum(), 0.0); // no data: 0 ... 0
    series.InsertPoint(5, 3, {}, clLime);
    series.InsertPoint(2, -1, {}, clLime);
    chart.UpdateOffscreenImage();
    EXPECT_EQ(chart.BottomAxis().Minimum(), 2.0);
    EXPECT_EQ(chart.BottomAxis().Maximum(), 5.0);
    EXPECT_EQ(chart.LeftAxis().Minimum(), -1.0);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 3.0);
    EXPECT_FALSE(TChartProbe::Dirty(chart)); // writing the automatic range asks for no repaint
    chart.LeftAxis().SetAutomatic(false);
    series.InsertPoint(9, 30, {}, clLime);
    chart.UpdateOffscreenImage();
    EXPECT_EQ(chart.LeftAxis().Maximum(), 3.0); // kept
    EXPECT_EQ(chart.BottomAxis().Maximum(), 9.0);
    // Only the automatic end follows.
    chart.BottomAxis().SetAutomaticMinimum(false);
    series.InsertPoint(-4, 0, {}, clLime);
    chart.UpdateOffscreenImage();
    EXPECT_EQ(chart.BottomAxis().Minimum(), 2.0);
    EXPECT_EQ(chart.BottomAxis().Maximum(), 9.0);
}

TEST(ChartAxis, SettersRequestARepaintOnlyOnChange) {
    TWindowChart window;
    TChart& chart = *window.chart;
    TChartAxis& axis = chart.LeftAxis();
    chart.UpdateOffscreenImage();
    const auto dirtiedBy = [&](auto&& change) {
        chart.UpdateOffscreenImage();
        change();
        return TChartProbe::Dirty(chart);
    };
    EXPECT_FALSE(dirtiedBy([&] { axis.SetAxisRange(0, 20); }));
    EXPECT_FALSE(dirtiedBy([&] { axis.SetAxisRange(20, 0); }));
    EXPECT_TRUE(dirtiedBy([&] { axis.SetAxisRange(0, 21); }));
    EXPECT_FALSE(dirtiedBy([&] { axis.SetAutomatic(false); }));
    EXPECT_FALSE(dirtiedBy([&] { axis.SetMaximum(21); }));
    EXPECT_TRUE(dirtiedBy([&] { axis.SetMaximum(20); }));
    EXPECT_TRUE(dirtiedBy([&] { axis.Grid().SetColor(clRed); }));
    EXPECT_FALSE(dirtiedBy([&] { axis.Grid().SetColor(clRed); }));
    EXPECT_TRUE(dirtiedBy([&] { axis.SetTickLength(5); }));
    EXPECT_TRUE(dirtiedBy([&] { chart.SetMarginTop(6); }));
    EXPECT_FALSE(dirtiedBy([&] { chart.SetMarginTop(6); }));
    EXPECT_TRUE(dirtiedBy([&] { chart.BackWall().Pen().SetWidth(2); }));
    EXPECT_FALSE(dirtiedBy([&] { chart.SetView3D(false); }));
    EXPECT_TRUE(dirtiedBy([&] { chart.Title().SetVisible(true); }));
}

class ChartAxisLabels : public ::testing::Test {
protected:
    QImage Paint() { return window.Grab(); }
    std::vector<QString> LeftTexts() const {
        std::vector<QString> texts;
        for (const TAxisLabel& label : TChartProbe::LastLabels(chart.LeftAxis())) {
            texts.push_back(label.text);
        }
        return texts;
    }
    bool GrayInColumns(const QImage& image, int x0, int x1) const {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = x0; x <= x1; ++x) {
                if (image.pixel(x, y) == kGray) {
                    return true;
                }
            }
        }
        return false;
    }

    TWindowChart window;
    TChart& chart = *window.chart;
    TChartAxis& left = chart.LeftAxis();
};

TEST_F(ChartAxisLabels, TenThousandStepsOrMoreDrawOnlyTheAxisLine) {
    left.SetIncrement(0.001); // fits (20000 steps) but is cut
    left.SetLabelsSeparation(0);
    QImage image = Paint();
    EXPECT_TRUE(TChartProbe::LastLabels(left).empty());
    EXPECT_TRUE(TChartProbe::TickPositions(left).empty());
    EXPECT_FALSE(GrayInColumns(image, 15, 20)); // no ticks of the left axis
    for (int x = 30; x < 600; ++x) {
        if ((x - 21) % 29 != 0) {                      // away from the bottom axis' grid columns
            EXPECT_NE(image.pixel(x, 40), kGray) << x; // no horizontal grid
        }
    }
    // The bottom axis is not affected.
    EXPECT_EQ(TChartProbe::LastLabels(chart.BottomAxis()).size(), 21u);
    left.SetIncrement(0.002); // 10000 steps: still cut
    Paint();
    EXPECT_TRUE(TChartProbe::LastLabels(left).empty());
    left.SetIncrement(0.0025); // 8000 steps
    Paint();
    EXPECT_GE(TChartProbe::LastLabels(left).size(), 8000u);
}

TEST_F(ChartAxisLabels, AxisTooShortForOneLabelHasNone) {
    chart.resize(601, 26); // plot height below one label
    Paint();
    EXPECT_LT(left.Length(), 7);
    EXPECT_DOUBLE_EQ(TChartProbe::LastStep(left), 1e-12);
    EXPECT_TRUE(TChartProbe::LastLabels(left).empty());
    EXPECT_FALSE(TChartProbe::LastLabels(chart.BottomAxis()).empty());
}

TEST_F(ChartAxisLabels, LabelOptions) {
    left.SetLabelsOnAxis(false); // 20 and 0 lie on the ends
    Paint();
    EXPECT_EQ(LeftTexts(), (std::vector<QString>{"15", "10", "5"}));
    left.SetLabelsOnAxis(true);

    left.SetLabels(false); // no labels and, with ticks on labels only, no ticks
    Paint();
    EXPECT_TRUE(TChartProbe::TickPositions(left).empty());
    EXPECT_EQ(TChartProbe::ChartRect(chart).left, 6); // no label band: only the tick band
    left.SetTickOnLabelsOnly(false);
    Paint();
    EXPECT_EQ(TChartProbe::TickPositions(left), (std::vector<int>{8, 40, 71, 102, 134}));
    left.SetLabels(true);
    left.SetTickOnLabelsOnly(true);

    left.SetAxisRange(0.5, 20.6);
    left.SetRoundFirstLabel(false);
    Paint();
    EXPECT_EQ(LeftTexts(), (std::vector<QString>{"20.6", "15.6", "10.6", "5.6", "0.6"}));
    left.SetRoundFirstLabel(true);
    Paint();
    EXPECT_EQ(LeftTexts(), (std::vector<QString>{"20", "15", "10", "5"}));

    left.SetAxisRange(-1000, 9000); // grouping and a wider band
    Paint();
    EXPECT_EQ(LeftTexts().front(), "8,000"); // step 2000
    EXPECT_GT(TChartProbe::ChartRect(chart).left, 21);

    left.SetLabelsSize(40);
    Paint();
    EXPECT_EQ(TChartProbe::ChartRect(chart).left, 46);
    EXPECT_EQ(left.LabelsPixel(), 40);
}

TEST_F(ChartAxisLabels, CentredGridAndInnerTicks) {
    left.SetGridCentered(true);
    left.SetTickInnerLength(3);
    const QImage image = Paint();
    // Grid between the ticks 8, 40, 71, 102, 134: rows 24, 56, 86 (86.5 rounds to even), 118.
    for (int row : {24, 56, 86, 118}) {
        EXPECT_EQ(image.pixel(31, row), kGray) << row;
    }
    EXPECT_NE(image.pixel(31, 40), kGray);
    // Inner ticks: columns 22..24 at each tick row.
    EXPECT_EQ(image.pixel(22, 40), kGray);
    EXPECT_EQ(image.pixel(24, 40), kGray);
    EXPECT_NE(image.pixel(26, 40), kGray);
}

TEST_F(ChartAxisLabels, PointLabelsMakeTextLabels) {
    window.series->InsertPoint(5.0, 10.0, QStringLiteral("A"), clLime);
    window.series->InsertPoint(15.0, 12.0, QStringLiteral("Bee"), clLime);
    Paint();
    EXPECT_EQ(chart.EffectiveLabelStyle(chart.BottomAxis()), talText);
    std::vector<std::pair<QString, int>> labels;
    for (const TAxisLabel& label : TChartProbe::LastLabels(chart.BottomAxis())) {
        labels.emplace_back(label.text, label.position);
    }
    const int left0 = TChartProbe::ChartRect(chart).left;
    const int width = TChartProbe::ChartRect(chart).Width();
    EXPECT_EQ(labels, (std::vector<std::pair<QString, int>>{
                          {"A", left0 + static_cast<int>(std::nearbyint(5 * width / 20.0))},
                          {"Bee", left0 + static_cast<int>(std::nearbyint(15 * width / 20.0))}}));
    // No active series: no labels at all, and the axis is not drawn.
    window.series->SetActive(false);
    EXPECT_EQ(chart.EffectiveLabelStyle(chart.BottomAxis()), talNone);
    EXPECT_FALSE(chart.IsAxisDrawn(chart.BottomAxis()));
}

TEST_F(ChartAxisLabels, HiddenAxesTakeNoSpace) {
    chart.SetAxisVisible(false);
    Paint();
    EXPECT_EQ(TChartProbe::ChartRect(chart), (chart::TPixelRect{0, 8, 601, 153}));
    chart.SetAxisVisible(true);
    chart.BottomAxis().SetVisible(false);
    Paint();
    EXPECT_EQ(TChartProbe::ChartRect(chart), (chart::TPixelRect{21, 8, 601, 153}));
    EXPECT_FALSE(chart.IsAxisDrawn(chart.TopAxis())); // no series on it
    EXPECT_FALSE(chart.IsAxisDrawn(chart.DepthAxis()));
}

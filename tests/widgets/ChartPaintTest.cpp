// Pixel tests of the window's chart rendered into an image.
#include "tests/widgets/ChartTestSupport.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

using namespace charttest;

namespace {

using Pixel = std::pair<int, int>; // (x, y)

std::set<Pixel> PixelsOf(const QImage& image, QRgb color) {
    std::set<Pixel> pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == color) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
}

// The pixels a window chart's axes leave, painted in the chart's order: per axis the axis line
// (black, width 2), major ticks, dotted grid and minor ticks (gray).
class TExpectedAxes {
public:
    void Fill(int x0, int y0, int x1, int y1, QRgb color) { // inclusive
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                if (x >= 0 && x < 601 && y >= 0 && y < 153) {
                    pixels_[{x, y}] = color;
                }
            }
        }
    }
    std::set<Pixel> Gray() const {
        std::set<Pixel> gray;
        for (const auto& [pixel, color] : pixels_) {
            if (color == kGray) {
                gray.insert(pixel);
            }
        }
        return gray;
    }

private:
    std::map<Pixel, QRgb> pixels_;
};

std::vector<int> Inside(const std::vector<int>& positions, int start, int end) {
    std::vector<int> result;
    for (int p : positions) {
        if (p > start && p < end) {
            result.push_back(p);
        }
    }
    return result;
}

} // namespace

class ChartPaint : public ::testing::Test {
protected:
    TWindowChart window;
    TChart& chart = *window.chart;
    TLineSeries& series = *window.series;
};

TEST_F(ChartPaint, WindowLayoutFollowsTheLabelFontMetrics) {
    window.Grab();
    const TChartAxis& left = chart.LeftAxis();
    const int textHeight = left.TextHeight();
    const QFontMetrics metrics(left.LabelsFont());
    const int width20 = metrics.horizontalAdvance(QStringLiteral("20"));
    const int space = metrics.horizontalAdvance(u' ');
    ASSERT_GT(width20, metrics.horizontalAdvance(QStringLiteral("0")));

    // Bottom axis: label band of the text height plus 2 (axis pen) + 4 (ticks); left axis: the
    // widest label plus a space, plus the same 6.
    const chart::TPixelRect expected{width20 + space + 6, 8, 601, 153 - textHeight - 6};
    EXPECT_EQ(TChartProbe::ChartRect(chart), expected);
    // "Arial" 8 points is Liberation Sans at 11 pixels: 13 high, "20" 12 wide, space 3.
    EXPECT_EQ(textHeight, 13);
    EXPECT_EQ(width20, 12);
    EXPECT_EQ(space, 3);
    EXPECT_EQ(TChartProbe::ChartRect(chart), (chart::TPixelRect{21, 8, 601, 134}));

    const TChartAxis& bottom = chart.BottomAxis();
    EXPECT_EQ(bottom.StartPixel(), 21);
    EXPECT_EQ(bottom.EndPixel(), 601);
    EXPECT_EQ(bottom.LabelsPixel(), 140);
    EXPECT_EQ(bottom.AxisLinePixel(), 134);
    EXPECT_EQ(left.StartPixel(), 8);
    EXPECT_EQ(left.EndPixel(), 134);
    EXPECT_EQ(left.LabelsPixel(), 15);
    EXPECT_EQ(left.AxisLinePixel(), 21);

    // Steps 1 and 5; labels from the top of the range down.
    EXPECT_DOUBLE_EQ(TChartProbe::LastStep(bottom), 1.0);
    EXPECT_DOUBLE_EQ(TChartProbe::LastStep(left), 5.0);
    ASSERT_EQ(TChartProbe::LastLabels(bottom).size(), 21u);
    for (int i = 0; i <= 20; ++i) {
        const TAxisLabel& label = TChartProbe::LastLabels(bottom)[static_cast<std::size_t>(i)];
        EXPECT_EQ(label.text, QString::number(20 - i));
        EXPECT_EQ(label.position, 601 - 29 * i);
    }
    std::vector<std::pair<QString, int>> leftLabels;
    for (const TAxisLabel& label : TChartProbe::LastLabels(left)) {
        leftLabels.emplace_back(label.text, label.position);
    }
    EXPECT_EQ(leftLabels, (std::vector<std::pair<QString, int>>{
                              {"20", 8}, {"15", 40}, {"10", 71}, {"5", 102}, {"0", 134}}));
    EXPECT_EQ(TChartProbe::TickPositions(left), (std::vector<int>{8, 40, 71, 102, 134}));
}

TEST_F(ChartPaint, EmptySeriesDrawsExactlyTheTicksAndGrid) {
    const QImage image = window.Grab();
    ASSERT_EQ(image.size(), QSize(601, 153));
    const TChartAxis& bottom = chart.BottomAxis();
    const TChartAxis& left = chart.LeftAxis();
    const std::vector<int>& bottomTicks = TChartProbe::TickPositions(bottom);
    const std::vector<int>& leftTicks = TChartProbe::TickPositions(left);

    TExpectedAxes expected;
    // Bottom axis: line rows 133..134; ticks rows 135..138; grid rows 8, 10, ... 132; minor
    // ticks rows 135..136.
    expected.Fill(21, 133, 600, 134, kBlack);
    for (int t : bottomTicks) {
        expected.Fill(t, 135, t, 138, kGray);
    }
    for (int t : bottomTicks) {
        for (int y = 8; y < 134; y += 2) {
            expected.Fill(t, y, t, y, kGray);
        }
    }
    for (int t : Inside(chart::MinorTickPositions(bottomTicks, 3), 21, 601)) {
        expected.Fill(t, 135, t, 136, kGray);
    }
    // Left axis: line columns 20..21; ticks columns 17..20; grid columns 21, 23, ... 599;
    // minor ticks columns 19..20.
    expected.Fill(20, 8, 21, 133, kBlack);
    for (int t : leftTicks) {
        expected.Fill(17, t, 20, t, kGray);
    }
    for (int t : leftTicks) {
        for (int x = 21; x < 601; x += 2) {
            expected.Fill(x, t, x, t, kGray);
        }
    }
    for (int t : Inside(chart::MinorTickPositions(leftTicks, 3), 8, 134)) {
        expected.Fill(19, t, 20, t, kGray);
    }
    EXPECT_EQ(PixelsOf(image, kGray), expected.Gray());

    // Spot checks of the positions themselves.
    EXPECT_EQ(image.pixel(50, 135), kGray); // tick of 1
    EXPECT_EQ(image.pixel(50, 138), kGray);
    EXPECT_EQ(image.pixel(50, 139), kBlack); // ticks are 4 long
    EXPECT_EQ(image.pixel(579, 136), kGray); // minor tick between 20 and 19
    EXPECT_EQ(image.pixel(579, 137), kBlack);
    EXPECT_EQ(image.pixel(50, 10), kGray); // dotted grid
    EXPECT_EQ(image.pixel(50, 11), kBlack);
    EXPECT_EQ(image.pixel(17, 40), kGray); // left tick of 15
    EXPECT_EQ(image.pixel(16, 40), kBlack);
    EXPECT_EQ(image.pixel(19, 32), kGray); // left minor tick
    EXPECT_EQ(image.pixel(18, 32), kBlack);
    // The fill is black, with a raised one-pixel bevel.
    EXPECT_EQ(image.pixel(300, 145), kBlack);
    EXPECT_EQ(image.pixel(0, 50), ColorToQColor(clBtnHighlight).rgb());
    EXPECT_EQ(image.pixel(300, 0), ColorToQColor(clBtnHighlight).rgb());
    EXPECT_EQ(image.pixel(600, 50), ColorToQColor(clBtnShadow).rgb());
    EXPECT_EQ(image.pixel(300, 152), ColorToQColor(clBtnShadow).rgb());
    // Nothing of the series.
    EXPECT_TRUE(PixelsOf(image, kLime).empty());
    EXPECT_TRUE(PixelsOf(image, kRed).empty());
}

TEST_F(ChartPaint, LabelsDrawnInTheirBands) {
    // On a white chart the black labels show: bottom labels below row 140, left labels right of
    // column 15 never.
    chart.SetColor(clWhite);
    const QImage image = window.Grab();
    bool bottomLabelInk = false;
    bool leftLabelInk = false;
    for (int y = 140; y < 152; ++y) {
        for (int x = 590; x < 600; ++x) { // "20" centred on 601 is cut by the edge
            bottomLabelInk |= image.pixel(x, y) != 0xFFFFFFFF;
        }
    }
    for (int y = 40 - 6; y < 40 - 6 + 13; ++y) { // "15" centred on row 40
        for (int x = 1; x < 15; ++x) {
            leftLabelInk |= image.pixel(x, y) != 0xFFFFFFFF;
        }
    }
    EXPECT_TRUE(bottomLabelInk);
    EXPECT_TRUE(leftLabelInk);
    for (int y = 1; y < 152; ++y) {
        EXPECT_EQ(image.pixel(15, y), 0xFFFFFFFFu) << y; // right-aligned at column 15
    }
}

TEST_F(ChartPaint, SeriesEdgeCases) {
    struct Point {
        double x;
        double y;
    };
    struct Case {
        const char* name;
        std::vector<Point> points;
        std::set<Pixel> mustBeLime;
        int limeCount; // -1: only check mustBeLime
        int minRow;    // rows of lime pixels
        int maxRow;
    };
    std::set<Pixel> row128From598;
    for (int x = 598; x <= 600; ++x) {
        row128From598.insert({x, 128});
    }
    const std::vector<Case> cases = {
        {"single point", {{1.0, 1.0}}, {}, 0, 0, 0},
        {"two points on one pixel", {{1.0, 1.0}, {1.01, 1.0}}, {}, 0, 0, 0},
        {"jump 1 to 11", {{1.0, 1.0}, {1.1, 11.0}}, {{50, 128}, {53, 65}}, -1, 65, 128},
        {"20.0 to 20.1 draws nothing",
         {{19.9, 1.0}, {20.0, 1.0}, {20.1, 11.0}},
         row128From598,
         3,
         128,
         128},
        {"above the range is clipped", {{1.0, 1.0}, {2.0, 30.0}}, {{50, 128}}, -1, 8, 128},
        {"far-away point skipped",
         {{1.0, 1.0}, {2.0, 6000.0}, {3.0, 1.0}},
         {{50, 128}, {108, 128}},
         59,
         128,
         128},
    };
    for (const Case& c : cases) {
        series.ClearPoints();
        for (const Point& p : c.points) {
            series.InsertPoint(p.x, p.y, QString(), clLime);
        }
        const std::set<Pixel> lime = PixelsOf(window.Grab(), kLime);
        for (const Pixel& pixel : c.mustBeLime) {
            EXPECT_TRUE(lime.count(pixel)) << c.name << " " << pixel.first << "," << pixel.second;
        }
        if (c.limeCount >= 0) {
            EXPECT_EQ(static_cast<int>(lime.size()), c.limeCount) << c.name;
        }
        for (const Pixel& pixel : lime) {
            EXPECT_GE(pixel.second, c.minRow) << c.name;
            EXPECT_LE(pixel.second, c.maxRow) << c.name;
            EXPECT_GE(pixel.first, 21) << c.name; // inside the plot rectangle
            EXPECT_LE(pixel.first, 600) << c.name;
        }
    }
}

TEST_F(ChartPaint, JumpIsOneSlantedSegmentOneStepWide) {
    series.InsertPoint(1.0, 1.0, QString(), clLime);
    series.InsertPoint(1.1, 11.0, QString(), clLime);
    window.Grab();
    ASSERT_EQ(TChartProbe::LastSegments(series).size(), 1u);
    EXPECT_EQ(TChartProbe::LastSegments(series)[0], (TSeriesSegment{{50, 128}, {53, 65}, clLime}));
    const std::set<Pixel> lime = PixelsOf(window.Grab(), kLime);
    for (int y = 65; y <= 128; ++y) { // every row between the levels is covered
        bool found = false;
        for (int x = 50; x <= 53; ++x) {
            found |= lime.count({x, y}) > 0;
        }
        EXPECT_TRUE(found) << y;
    }
}

TEST_F(ChartPaint, EachSegmentTakesTheColourOfThePointItLeadsTo) {
    series.InsertPoint(1.0, 1.0, QString(), clLime);
    series.InsertPoint(2.0, 1.0, QString(), clBlue);
    series.InsertPoint(3.0, 1.0, QString(), clDefaultColor); // the series colour, red
    series.InsertPoint(4.0, 11.0, QString(), clNone);        // null: no segment into it
    series.InsertPoint(5.0, 11.0, QString(), clLime);        // nor out of it
    series.InsertPoint(6.0, 11.0, QString(), clLime);
    const QImage image = window.Grab();
    EXPECT_EQ(image.pixel(65, 128), kBlue); // 1 -> 2
    EXPECT_EQ(image.pixel(95, 128), kRed);  // 2 -> 3
    for (int x = 109; x < 166; ++x) {
        for (int y = 60; y < 127; ++y) {
            EXPECT_NE(image.pixel(x, y), kLime) << x << "," << y;
            EXPECT_NE(image.pixel(x, y), kRed) << x << "," << y;
        }
    }
    EXPECT_EQ(image.pixel(180, 65), kLime); // 5 -> 6
    std::vector<TColor> colours;
    for (const TSeriesSegment& segment : TChartProbe::LastSegments(series)) {
        colours.push_back(segment.color);
    }
    EXPECT_EQ(colours, (std::vector<TColor>{clBlue, clRed, clLime}));
}

TEST_F(ChartPaint, LineIsCarriedInFromTheLeftEdge) {
    chart.BottomAxis().SetAxisRange(5.0, 15.0);
    series.InsertPoint(0.0, 1.0, QString(), clLime);
    series.InsertPoint(10.0, 11.0, QString(), clLime);
    window.Grab();
    EXPECT_EQ(series.FirstValueIndex(), 1);
    EXPECT_EQ(series.LastValueIndex(), 1);
    // The segment starts at the plot's left edge on the line through both points (y = 6 at
    // x = 5) and ends at the second point.
    ASSERT_EQ(TChartProbe::LastSegments(series).size(), 1u);
    EXPECT_EQ(TChartProbe::LastSegments(series)[0].from,
              QPoint(21, 134 - 38)); // Round(6 * 126 / 20)
    EXPECT_EQ(TChartProbe::LastSegments(series)[0].to, QPoint(311, 65));
}

TEST_F(ChartPaint, StairsDrawAHorizontalThenAVerticalPiece) {
    series.SetStairs(true);
    series.InsertPoint(1.0, 1.0, QString(), clLime);
    series.InsertPoint(2.0, 11.0, QString(), clLime);
    const QImage image = window.Grab();
    EXPECT_EQ(TChartProbe::LastSegments(series),
              (std::vector<TSeriesSegment>{{{50, 128}, {79, 128}, clLime},
                                           {{79, 128}, {79, 65}, clLime}}));
    EXPECT_EQ(image.pixel(65, 128), kLime);
    EXPECT_EQ(image.pixel(79, 100), kLime);
}

TEST_F(ChartPaint, WindowSweepDrawsOneLimeTrace) {
    // The window's samples: x = index * 0.1 in extended precision, levels 1 and 11.
    double level = 1.0;
    for (int index = 0; index <= 201; ++index) {
        if (index % 20 == 0) {
            level = level == 1.0 ? 11.0 : 1.0;
        }
        const double x = static_cast<double>(static_cast<long double>(index) * 0.1L);
        series.InsertPoint(x, level, QString(), clLime);
    }
    EXPECT_EQ(series.Count(), 202);
    const QImage image = window.Grab();
    EXPECT_EQ(series.FirstValueIndex(), 0);
    EXPECT_EQ(series.LastValueIndex(), 200); // x = 20.0 exactly; 20.1 is left out
    EXPECT_TRUE(PixelsOf(image, kRed).empty());
    EXPECT_EQ(image.pixel(30, 65), kLime);
    EXPECT_EQ(image.pixel(80, 128), kLime);
}

TEST_F(ChartPaint, OffscreenImageRedrawnOnlyWhenDirty) {
    EXPECT_TRUE(chart.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_TRUE(chart.testAttribute(Qt::WA_NoSystemBackground));
    window.Grab();
    const int redraws = chart.RedrawCount();
    EXPECT_FALSE(TChartProbe::Dirty(chart));
    const QImage first = window.Grab(); // clean: only copies
    EXPECT_EQ(chart.RedrawCount(), redraws);
    for (int i = 0; i < 100; ++i) {
        series.InsertPoint(i * 0.1, 1.0, QString(), clLime);
    }
    EXPECT_TRUE(TChartProbe::Dirty(chart));
    EXPECT_EQ(chart.RedrawCount(), redraws); // requests alone draw nothing
    window.Grab();
    EXPECT_EQ(chart.RedrawCount(), redraws + 1);
    // A setter given the value it holds requests nothing.
    chart.SetColor(clBlack);
    chart.LeftAxis().SetAxisRange(0.0, 20.0);
    series.SetSeriesColor(clRed);
    EXPECT_FALSE(TChartProbe::Dirty(chart));
    // A size change redraws at the new size.
    chart.resize(300, 100);
    EXPECT_EQ(window.Grab().size(), QSize(300, 100));
    EXPECT_EQ(chart.OffscreenImage().size(), QSize(300, 100));
}

TEST_F(ChartPaint, ManyRequestsOnAShownChartCostOneRedraw) {
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    QTRY_VERIFY(!TChartProbe::Dirty(chart));
    const int redraws = chart.RedrawCount();
    for (int i = 0; i < 150; ++i) {
        series.InsertPoint(i * 0.1, 11.0, QString(), clLime);
    }
    QTRY_VERIFY(!TChartProbe::Dirty(chart));
    QApplication::processEvents();
    EXPECT_EQ(chart.RedrawCount(), redraws + 1);
    series.ClearPoints(); // an empty series still requests a repaint
    EXPECT_TRUE(TChartProbe::Dirty(chart));
    QTRY_VERIFY(!TChartProbe::Dirty(chart));
    series.ClearPoints();
    EXPECT_TRUE(TChartProbe::Dirty(chart));
}

TEST(ChartPaintRobustness, TinySizesAndExtremeRangesPaintWithoutHarm) {
    for (const QSize size : {QSize(0, 0), QSize(1, 1), QSize(5, 3), QSize(40, 20)}) {
        TWindowChart window;
        window.chart->resize(size);
        window.series->InsertPoint(1, 1, {}, clLime);
        window.series->InsertPoint(2, 11, {}, clLime);
        const QImage image = window.Grab();
        if (!size.isEmpty()) {
            EXPECT_EQ(image.size(), size);
        }
    }
    struct Range {
        double minimum;
        double maximum;
    };
    for (const Range range : {Range{-1e308, 1e308}, Range{0, 1e-300}, Range{1e15, 1e15 + 1},
                              Range{double(NAN), 5}, Range{-double(INFINITY), double(INFINITY)}}) {
        TWindowChart window;
        window.chart->LeftAxis().SetAxisRange(range.minimum, range.maximum);
        window.chart->BottomAxis().SetAxisRange(range.minimum, range.maximum);
        for (double value : {0.0, 1e300, -1e300, 1e15, double(NAN)}) {
            window.series->InsertPoint(value, value, {}, clLime);
        }
        const QImage image = window.Grab();
        EXPECT_EQ(image.size(), QSize(601, 153));
    }
}

#include "widgets/ChartNumerics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace chart;

TEST(ChartNumerics, RoundingHalvesToEvenAndPercentHalvesAwayFromZero) {
    struct Case {
        double value;
        int expected;
    };
    for (const Case& c : {Case{0.5, 0}, Case{1.5, 2}, Case{2.5, 2}, Case{-2.5, -2}, Case{94.5, 94},
                          Case{31.5, 32}, Case{-7.25, -7}, Case{-14.5, -14}, Case{-21.75, -22},
                          Case{1e300, std::numeric_limits<int>::max()},
                          Case{-1e300, std::numeric_limits<int>::min()}, Case{NAN, 0}}) {
        EXPECT_EQ(Round(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(PercentOf(153, 5), 8);  // 7.65
    EXPECT_EQ(PercentOf(150, 3), 5);  // 4.5 rounds up, unlike Round
    EXPECT_EQ(PercentOf(601, 3), 18); // 18.03
    EXPECT_EQ(PercentOf(153, 4), 6);  // 6.12
    EXPECT_EQ(PercentOf(601, 0), 0);
}

TEST(ChartNumerics, PlotRectFirstCutAndGuards) {
    EXPECT_EQ(PlotRectFirstCut(601, 153, 0, 0, 5, 0, 0), (TPixelRect{0, 8, 601, 153}));
    EXPECT_EQ(PlotRectFirstCut(601, 153, 0, 3, 4, 3, 4), (TPixelRect{18, 6, 583, 147}));
    EXPECT_EQ(PlotRectFirstCut(100, 100, 2, 10, 10, 10, 10), (TPixelRect{12, 12, 88, 88}));
    // Margins above 50 %: the right and bottom edges end one pixel past left and top.
    EXPECT_EQ(PlotRectFirstCut(100, 100, 0, 70, 60, 70, 60), (TPixelRect{70, 60, 71, 61}));
    // Negative margins cannot push the left and top edges out of the bounds.
    EXPECT_EQ(PlotRectFirstCut(100, 100, 0, -10, -10, 0, 0), (TPixelRect{0, 0, 100, 100}));
}

TEST(ChartNumerics, ValueToPixelAndBack) {
    const TAxisScale bottom{0.0, 20.0, 21, 601, true};
    const TAxisScale left{0.0, 20.0, 8, 134, false};
    struct Case {
        const TAxisScale* scale;
        double value;
        int pixel;
    };
    for (const Case& c :
         {Case{&bottom, 0.0, 21}, Case{&bottom, 20.0, 601}, Case{&bottom, 1.0, 50},
          Case{&bottom, 19.9, 598}, Case{&bottom, 20.1, 604}, Case{&bottom, -1.0, -8},
          Case{&left, 0.0, 134}, Case{&left, 20.0, 8}, Case{&left, 1.0, 128}, Case{&left, 11.0, 65},
          Case{&left, 15.0, 40}, Case{&left, 5.0, 102}, Case{&left, 10.0, 71}}) {
        EXPECT_EQ(c.scale->ValueToPixel(c.value), c.pixel) << c.value;
    }
    // Range 0 and offsets that do not fit an int give the centre.
    const TAxisScale empty{5.0, 5.0, 21, 601, true};
    EXPECT_EQ(empty.ValueToPixel(7.0), 311);
    EXPECT_EQ(bottom.ValueToPixel(1e12), 311);
    EXPECT_EQ(bottom.ValueToPixel(-1e12), 311);
    EXPECT_EQ(left.ValueToPixel(NAN), 71);

    EXPECT_DOUBLE_EQ(bottom.PixelToValue(21), 0.0);
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(601), 20.0);
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(50), 1.0);
    EXPECT_DOUBLE_EQ(left.PixelToValue(8), 20.0);
    EXPECT_DOUBLE_EQ(left.PixelToValue(134), 0.0);
    EXPECT_DOUBLE_EQ(left.PixelToValue(71), 10.0);
    const TAxisScale noLength{0.0, 20.0, 30, 30, true};
    EXPECT_EQ(noLength.PixelToValue(40), 0.0);
}

TEST(ChartNumerics, NiceStepSequence) {
    struct Case {
        double step;
        double next;
    };
    for (const Case& c : {Case{1, 2}, Case{2, 5}, Case{5, 10}, Case{10, 20}, Case{20, 50},
                          Case{50, 100}, Case{1.5, 2}, Case{3, 5}, Case{7, 10}, Case{0.5, 1},
                          Case{0.2, 0.5}, Case{0.1, 0.2}, Case{1e-12, 2e-12}}) {
        EXPECT_NEAR(NextNiceStep(c.step), c.next, c.next * 1e-12) << c.step;
    }
}

TEST(ChartNumerics, LabelSteps) {
    EXPECT_EQ(MaxLabelCount(580, 12, 10), 45);
    EXPECT_EQ(MaxLabelCount(126, 13, 10), 9);
    EXPECT_EQ(MaxLabelCount(100, 0, 10), 1);
    EXPECT_EQ(MaxLabelCount(100, 10, 0), 10);
    EXPECT_EQ(MaxLabelCount(100, 10, -5), 10);
    EXPECT_EQ(MaxLabelCount(0, 13, 10), 0);

    struct Case {
        double range;
        int length;
        int size;
        int separation;
        double increment;
        double step;
    };
    for (const Case& c : {
             Case{20, 580, 12, 10, 0, 1},     // the window's bottom axis
             Case{20, 126, 13, 10, 0, 5},     // the window's left axis
             Case{20, 0, 13, 10, 0, 1e-12},   // no length yet: not one label fits
             Case{20, 4, 13, 10, 0, 1e-12},   // too short for one label
             Case{0.5, 580, 12, 10, 0, 0.02}, // below 1: starts at 1e-12 and climbs
             Case{20, 580, 12, 10, 3, 3},     // a fitting increment stays
             Case{20, 126, 13, 10, 2, 5},     // an increment too small is raised
             Case{20, 126, 13, 0, 0, 1},      // no separation: no search
             Case{1e6, 100, 10, 10, 0, 200000},
             Case{0, 580, 12, 10, 0, 1e-12},
         }) {
        EXPECT_NEAR(LabelStep(c.range, c.length, c.size, c.separation, c.increment), c.step,
                    c.step * 1e-9)
            << c.range << " " << c.length;
    }
    // Infinite and NaN ranges end the search instead of looping.
    EXPECT_GT(LabelStep(INFINITY, 100, 10, 10, 0), 0.0);
    EXPECT_GT(LabelStep(NAN, 100, 10, 10, 0), 0.0);
}

TEST(ChartNumerics, LabelValuesRunFromTheTopDown) {
    EXPECT_EQ(LabelValues(0, 20, 5, true), (std::vector<double>{20, 15, 10, 5, 0}));
    EXPECT_EQ(LabelValues(0.5, 20.6, 5, true), (std::vector<double>{20, 15, 10, 5}));
    const std::vector<double> unrounded = LabelValues(0.5, 20.6, 5, false);
    ASSERT_EQ(unrounded.size(), 5u);
    EXPECT_DOUBLE_EQ(unrounded.front(), 20.6);
    EXPECT_NEAR(unrounded.back(), 0.6, 1e-12);
    EXPECT_EQ(LabelValues(-3, 3, 2, true), (std::vector<double>{2, 0, -2}));
    EXPECT_EQ(LabelValues(5, 5, 1, true), (std::vector<double>{5}));
    EXPECT_EQ(LabelValues(0, 20, 1, true).size(), 21u);
    // 10000 steps or more: no labels.
    EXPECT_TRUE(LabelValues(0, 10000, 1, true).empty());
    EXPECT_EQ(LabelValues(0, 9999, 1, true).size(), 10000u);
    // An axis too short for a label: step 1e-12 over a range of 20.
    EXPECT_TRUE(LabelValues(0, 20, 1e-12, true).empty());
    EXPECT_TRUE(LabelValues(0, 1e-8, 1e-12, true).empty());
    EXPECT_TRUE(LabelValues(20, 0, 1, true).empty());
    EXPECT_TRUE(LabelValues(0, 20, 0, true).empty());
    // A step lost in the values' precision cannot loop forever.
    EXPECT_EQ(LabelValues(1e20, 1e20, 1e-12, true), (std::vector<double>{1e20}));
    EXPECT_LE(LabelValues(1e20, 1e20 + 1e5, 1.0, true).size(), 10001u);
}

TEST(ChartNumerics, RoundedLabelValueForTheWidestLabel) {
    EXPECT_DOUBLE_EQ(RoundedLabelValue(20.6, 5, true), 20);
    EXPECT_DOUBLE_EQ(RoundedLabelValue(-7.5, 5, true), -5);
    EXPECT_DOUBLE_EQ(RoundedLabelValue(20.6, 5, false), 20.6);
    EXPECT_DOUBLE_EQ(RoundedLabelValue(20.6, 0, true), 20.6);
}

TEST(ChartNumerics, FormatFloatPattern) {
    const QString pattern = QStringLiteral("#,##0.###");
    struct Case {
        double value;
        const char* english;
        const char* russian; // decimal ",", thousands non-breaking space
    };
    for (const Case& c : {
             Case{0, "0", "0"},
             Case{20, "20", "20"},
             Case{2.5, "2.5", "2,5"},
             Case{1234.5678, "1,234.568", "1\u00A0234,568"},
             Case{-1234.5, "-1,234.5", "-1\u00A0234,5"},
             Case{1e6, "1,000,000", "1\u00A0000\u00A0000"},
             Case{999.9996, "1,000", "1\u00A0000"},
             Case{0.0005, "0.001", "0,001"},
             Case{2.0005, "2.001", "2,001"}, // half away from zero on 15 digits
             Case{0.0004, "0", "0"},
             Case{-0.0004, "0", "0"},
             Case{15.3, "15.3", "15,3"},
             Case{0.1 + 0.2, "0.3", "0,3"},
             Case{123456.0, "123,456", "123\u00A0456"},
             Case{1e20, "100,000,000,000,000,000,000",
                  "100\u00A0000\u00A0000\u00A0000\u00A0000\u00A0000\u00A0000"},
             Case{1e-12, "0", "0"},
         }) {
        EXPECT_EQ(FormatFloat(pattern, c.value, u'.', u','), QString::fromUtf8(c.english))
            << c.value;
        EXPECT_EQ(FormatFloat(pattern, c.value, u',', QChar(0x00A0)), QString::fromUtf8(c.russian))
            << c.value;
    }
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00"), 2.5, u'.', u','), "2.50");
    EXPECT_EQ(FormatFloat(QStringLiteral("000"), 7, u'.', u','), "007");
    EXPECT_EQ(FormatFloat(QStringLiteral("0"), 1234, u'.', u','), "1234");
    EXPECT_EQ(FormatFloat(pattern, INFINITY, u'.', u','), "INF");
    EXPECT_EQ(FormatFloat(pattern, NAN, u'.', u','), "NAN");
}

TEST(ChartNumerics, MinorTicksBetweenAndBeyond) {
    // The window's left axis: ticks at 8, 40, 71, 102, 134.
    const std::vector<int> left = MinorTickPositions({8, 40, 71, 102, 134}, 3);
    EXPECT_EQ(left, (std::vector<int>{32, 24, 16, 63, 55, 48, 94, 86, 79, 126, 118, 110,
                                      // beyond: t[0] - d and t[last] + d, d = 8, 16, 24
                                      0, 142, -8, 150, -16, 158}));
    // Descending pixel ticks (bottom axis labels run from the top value down).
    const std::vector<int> bottom = MinorTickPositions({601, 572, 543}, 3);
    EXPECT_EQ(bottom,
              (std::vector<int>{579, 586, 594, 550, 557, 565, 608, 536, 615, 529, 623, 521}));
    EXPECT_EQ(MinorTickPositions({50}, 3), std::vector<int>{});
    EXPECT_EQ(MinorTickPositions({}, 3), std::vector<int>{});
    EXPECT_EQ(MinorTickPositions({10, 20}, 0), std::vector<int>{});
    EXPECT_EQ(CentredGridPositions({8, 40, 71}), (std::vector<int>{24, 56}));
}

TEST(ChartNumerics, OrderedInsertion) {
    const std::vector<double> values{1, 2, 2, 5};
    struct Case {
        double x;
        TChartListOrder order;
        std::size_t index;
    };
    for (const Case& c : {Case{6, loAscending, 4}, Case{5, loAscending, 4}, Case{2, loAscending, 3},
                          Case{3, loAscending, 3}, Case{0, loAscending, 0}, Case{1, loAscending, 1},
                          Case{0, loNone, 4}, Case{9, loNone, 4}}) {
        EXPECT_EQ(OrderedInsertIndex(values, c.x, c.order), c.index) << c.x;
    }
    const std::vector<double> descending{5, 3, 3, 1};
    EXPECT_EQ(OrderedInsertIndex(descending, 0, loDescending), 4u);
    EXPECT_EQ(OrderedInsertIndex(descending, 3, loDescending), 3u);
    EXPECT_EQ(OrderedInsertIndex(descending, 9, loDescending), 0u);
    EXPECT_EQ(OrderedInsertIndex({}, 9, loAscending), 0u);
}

TEST(ChartNumerics, VisiblePoints) {
    const std::vector<double> sweep{0.0, 10.0, 19.9, 20.0, 20.1};
    EXPECT_EQ(VisiblePoints(sweep, 1.0, true, 0.0, 20.0), (TVisibleRange{0, 3}));
    EXPECT_EQ(VisiblePoints(sweep, 1.0, true, 5.0, 15.0), (TVisibleRange{1, 2}));
    EXPECT_EQ(VisiblePoints(sweep, 1.0, true, 5.0, 25.0), (TVisibleRange{1, 4}));
    EXPECT_EQ(VisiblePoints(sweep, 1.0, true, 30.0, 40.0), (TVisibleRange{-1, -1}));
    EXPECT_EQ(VisiblePoints(sweep, 1.0, false, 30.0, 40.0), (TVisibleRange{0, 4}));
    EXPECT_EQ(VisiblePoints(sweep, 2.0, true, 0.0, 20.0), (TVisibleRange{0, 1}));
    EXPECT_EQ(VisiblePoints({}, 1.0, true, 0.0, 20.0), (TVisibleRange{-1, -1}));
}

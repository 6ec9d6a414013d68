#include "widgets/GaugeMetrics.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(GaugePercent, TruncatesTowardZeroAndNeverRounds) {
    struct Case {
        std::int32_t min, max, progress;
        int percent;
    };
    const Case cases[] = {
        {0, 1000, 999, 99},
        {0, 1000, 10, 1},
        {0, 1000, 9, 0},
        {0, 1000, 5, 0},
        {0, 1000, 1000, 100},
        {0, 0, 0, 0},
        {5, 5, 5, 0},
        {-100, 100, 0, 50},
        {-100, 100, -99, 0},
        {0, 3, 2, 66},
        {0, 3000, 750, 25},
        {0, kMax, kMax - 1, 99},
        {0, kMax, kMax, 100},
        {-1, kMax - 1, 0, 0},
        {0, 7, 7, 100},
        // A stored form may break the invariant; the result then leaves 0 … 100 unharmed.
        {0, 10, 20, 200},
        {0, 10, -5, -50},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gauge::PercentComplete(c.min, c.max, c.progress), c.percent)
            << c.min << " " << c.max << " " << c.progress;
    }
}

TEST(GaugePercent, WideRangesDoNotOverflow) {
    EXPECT_EQ(gauge::PercentComplete(kMin, kMax, 0), 50);
    EXPECT_EQ(gauge::PercentComplete(kMin, kMax, kMax), 100);
    EXPECT_EQ(gauge::PercentComplete(kMin, kMax, kMin), 0);
}

TEST(GaugeFillLength, IsTheFloorOfSpanTimesPercent) {
    struct Case {
        std::int64_t span;
        int percent;
        std::int64_t fill;
    };
    const Case cases[] = {
        {584, 25, 146},   {584, 0, 0},  {584, 100, 584},   {584, 1, 5},
        {584, 99, 578},   {43, 50, 21}, {3, 33, 0},        {3, 34, 1},
        {0, 100, 0},      {1, 99, 0},   {kMax, 100, kMax}, {kMax, 99, 2126008810},
        {585, 200, 1170}, {10, -5, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gauge::FillLength(c.span, c.percent), c.fill) << c.span << " " << c.percent;
    }
}

TEST(GaugeTextOrigin, AbsoluteAndTruncatedTowardZero) {
    // Main window gauge: paint rectangle (1, 1, 584, 43).
    EXPECT_EQ(gauge::TextOrigin(1, 1, 584, 43, 100, 37), QPoint(242, 3));
    // R − L + 1 − tw = −3 gives −1, not −2.
    EXPECT_EQ(gauge::TextOrigin(1, 1, 10, 10, 13, 13), QPoint(-1, -1));
    EXPECT_EQ(gauge::TextOrigin(0, 0, 10, 10, 14, 10), QPoint(-1, 0));
    // Not an offset from the left edge: the same for any left edge with the same width.
    EXPECT_EQ(gauge::TextOrigin(0, 0, 100, 50, 20, 10), QPoint(40, 20));
    EXPECT_EQ(gauge::TextOrigin(1, 1, 100, 50, 20, 10), QPoint(40, 20));
}

TEST(GaugePie, StartPointRoundsHalvesToEven) {
    struct Case {
        int mx, my, percent;
        QPoint point;
    };
    const Case cases[] = {
        {50, 50, 25, {100, 50}},                                        // three o'clock
        {50, 50, 50, {50, 100}},                                        // six o'clock
        {50, 50, 75, {0, 50}},                                          // nine o'clock
        {50, 50, 100, {50, 0}},                                         // back at twelve
        {49, 49, 50, {49, 98}},  {1, 1, 25, {2, 1}}, {1, 1, 8, {1, 0}}, // (1.48, 0.12)
        {1, 1, 9, {2, 0}},                                              // (1.54, 0.16)
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gauge::PieStartPoint(c.mx, c.my, c.percent), c.point) << c.percent;
    }
}

TEST(GaugeNeedle, EndPointFollowsThePercentage) {
    struct Case {
        int cx, baseRow, percent;
        QPoint end;
    };
    const Case cases[] = {
        {50, 40, 50, {50, 0}},    // straight up
        {50, 40, 100, {100, 40}}, // lying to the right
        {50, 40, 1, {0, 39}},     // just above 0 %: lying to the left
        {50, 40, 25, {15, 12}},   // (1 − cos 45°) × 50 = 14.64, (1 − sin 45°) × 40 = 11.7
        {292, 41, 75, {498, 12}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gauge::NeedleEnd(c.cx, c.baseRow, c.percent), c.end) << c.percent;
    }
}

TEST(GaugeLine, LeavesOutTheEndPoint) {
    const auto horizontal = gauge::LinePixels({1, 5}, {5, 5});
    ASSERT_EQ(horizontal.size(), 4u);
    EXPECT_EQ(horizontal.front(), QPoint(1, 5));
    EXPECT_EQ(horizontal.back(), QPoint(4, 5));
    EXPECT_TRUE(gauge::LinePixels({3, 3}, {3, 3}).empty());
    const auto diagonal = gauge::LinePixels({10, 10}, {0, 0});
    ASSERT_EQ(diagonal.size(), 10u);
    for (std::size_t i = 0; i < diagonal.size(); ++i) {
        EXPECT_EQ(diagonal[i], QPoint(10 - int(i), 10 - int(i)));
    }
    // Steep lines step one row per pixel.
    const auto steep = gauge::LinePixels({0, 0}, {2, 9});
    EXPECT_EQ(steep.size(), 9u);
}

} // namespace

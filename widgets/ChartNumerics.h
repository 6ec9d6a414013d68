#pragma once

// The chart's arithmetic without any painting: rounding, margins, the value<->pixel mapping,
// label steps, label values and texts, minor tick positions, visible points and ordered
// insertion. The chart classes draw what these compute.

#include <QChar>
#include <QString>
#include <cstdint>
#include <vector>

namespace chart {

// Nearest integer, halves to even, saturated to the int range (NaN gives 0).
int Round(double value);

// size * percent / 100, rounded to the nearest integer with halves away from zero.
int PercentOf(int size, int percent);

// A rectangle in control pixels; right and bottom are the first pixel outside it.
struct TPixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    // True when the two rectangles share at least one pixel.
    bool Overlaps(const TPixelRect& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    bool operator==(const TPixelRect&) const = default;
};

// The plot rectangle's first cut inside the bounds (0, 0, width, height): border and percent
// margins taken off, then the guards (left/top not outside the bounds, right/bottom at least
// one pixel past left/top).
TPixelRect PlotRectFirstCut(int width, int height, int borderWidth, int marginLeft, int marginTop,
                            int marginRight, int marginBottom);

// The linear, non-inverted mapping of one axis between values and pixels.
struct TAxisScale {
    double minimum = 0.0;
    double maximum = 0.0;
    int startPixel = 0;
    int endPixel = 0;
    bool horizontal = true;

    double Range() const { return maximum - minimum; }
    int Length() const { return endPixel - startPixel; }
    int Centre() const { return (startPixel + endPixel) / 2; }
    // Horizontal: start + Round((v - min) * L / r); vertical: end - Round(...). The centre when
    // the range is 0 or the offset reaches 2147483647 in magnitude.
    int ValueToPixel(double value) const;
    // Horizontal: min + (p - start) * r / L; vertical: max - (p - start) * r / L; 0.0 when L < 1.
    double PixelToValue(int pixel) const;
};

// The step that follows s in the sequence ... 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50 ...
double NextNiceStep(double step);

// How many labels of the given size fit into the axis length with the separation (percent of
// the size) between them: 1 for size 0, else Round(length / (size + Round(size * sep / 100))).
int MaxLabelCount(int length, int labelSize, int separationPercent);

// The label step of an axis: the desired increment (or 1.0, or 1e-12 for ranges below 1),
// raised through the nice steps until the labels fit; 1e-12 when not even one label fits; never
// below 1e-12.
double LabelStep(double range, int length, int labelSize, int separationPercent, double increment);

// Smallest step a label step can have.
constexpr double kMinimumStep = 1e-12;
// Ranges spanning this many steps or more produce no labels.
constexpr double kMaximumLabelSteps = 10000.0;

// The values of the value labels, from the top of the range downwards; empty when the step is
// not positive, the maximum is below the minimum or the range spans 10000 steps or more.
std::vector<double> LabelValues(double minimum, double maximum, double step, bool roundFirstLabel);

// The value the widest-label measurement uses for an end of the range: truncated to a multiple
// of the step when rounding the first label, else the end itself.
double RoundedLabelValue(double value, double step, bool roundFirstLabel);

// A number formatted with a digit pattern such as "#,##0.###" ("0" a digit always shown, "#"
// a digit shown when significant, "," grouping, "." the decimal point): optional minus sign,
// integer digits (grouped when the pattern has a ","), at least as many as the pattern's
// "0"s before the decimal point, then the decimals: as many as the pattern's "0"s after the
// point always, up to as many more as its "#"s, rounded half away from zero on the value's
// 15 significant digits.
QString FormatFloat(const QString& pattern, double value, QChar decimalSeparator,
                    QChar thousandSeparator);

// The minor tick positions for a tick list: count positions between every two neighbouring
// ticks and, with two or more ticks, count positions beyond each outermost tick continuing the
// pattern. Positions are not filtered against the axis span.
std::vector<int> MinorTickPositions(const std::vector<int>& ticks, int count);

// The grid positions for centred grid lines: the rounded midpoints of neighbouring ticks.
std::vector<int> CentredGridPositions(const std::vector<int>& ticks);

enum TChartListOrder : std::uint8_t { loNone, loAscending, loDescending };

// Where x goes in a list kept in the order given: appended when the order is none, the list is
// empty or x is not before the last value; otherwise after the last value not after x
// (position 0 when there is none), so equal values keep their insertion order.
std::size_t OrderedInsertIndex(const std::vector<double>& values, double x, TChartListOrder order);

// First and last point to draw (-1 when none) for x values ordered ascending: from the first
// point at or beyond the low limit up to the first point at or beyond the high limit (or the
// last point when none lies beyond it).
struct TVisibleRange {
    int first = -1;
    int last = -1;
    bool operator==(const TVisibleRange&) const = default;
};
TVisibleRange VisiblePoints(const std::vector<double>& xValues, double multiplier, bool ordered,
                            double lowLimit, double highLimit);

} // namespace chart

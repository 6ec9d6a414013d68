#pragma once

// The main window's pulse preview chart, Chart1, as the window sets it up. The window, the
// chart benchmarks and the chart tests all call this, so they work on the same chart. It lives
// in a small library of its own that needs only the widgets, not the rest of the window.

#include <QRect>

class TChart;
class TLineSeries;

// Chart1's bounds inside Panel1.
inline constexpr QRect kPreviewChartBounds{8, 360, 601, 153};

// The stored settings of Chart1 and its one series Series1 (bounds, black, margins 0 but 5 % at
// the top, title "TChart" hidden, no legend, 2D; the series red with hidden rectangle markers).
// The axes stay automatic: the window fixes them only once its port list has been read.
// Returns the series.
TLineSeries& ConfigurePreviewChart(TChart& chart);

// Both axes fixed to 0 ... 20, as FormCreate fixes them: first the left axis, then the bottom.
void FixPreviewAxes(TChart& chart);

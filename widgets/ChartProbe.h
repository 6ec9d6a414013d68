#pragma once

// What the last paint and the mouse left behind inside the chart, for tests: the plot
// rectangle, the dirty flags, the zoom and panning state, each axis' ticks and labels, a line
// series' pieces. Outside the chart's surface: the program never includes this header.

#include "widgets/ChartAxisPanel.h"

#include <QRect>
#include <vector>

struct TChartProbe {
    // The plot rectangle of the last paint.
    static const chart::TPixelRect& ChartRect(const TCustomAxisPanel& chart) {
        return chart.chartRect_;
    }
    // Whether the off-screen image waits for a redraw.
    static bool Dirty(const TCustomAxisPanel& chart) { return chart.dirty_; }
    // How many redraws drew the static layer too.
    static int StaticRedrawCount(const TCustomAxisPanel& chart) { return chart.staticRedrawCount_; }

    static bool Zooming(const TCustomAxisPanel& chart) { return chart.zoom_.active; }
    static bool Panning(const TCustomAxisPanel& chart) { return chart.panning_.active; }
    // False once a zoom or panning move replaced the scales saved before it.
    static bool ScalesInForce(const TCustomAxisPanel& chart) { return chart.scalesInForce_; }
    // The not-xor outlines currently shown over the image (the zoom rubber band).
    static const std::vector<QRect>& RubberBands(const TCustomAxisPanel& chart) {
        return chart.xorBands_;
    }

    // The tick positions, the labels and the label step of the axis' last paint.
    static const std::vector<int>& TickPositions(const TCustomChartAxis& axis) {
        return axis.tickPositions_;
    }
    static const std::vector<TAxisLabel>& LastLabels(const TCustomChartAxis& axis) {
        return axis.lastLabels_;
    }
    static double LastStep(const TCustomChartAxis& axis) { return axis.lastStep_; }

    // The line pieces of the series' last paint or calculation (before clipping).
    static const std::vector<TSeriesSegment>& LastSegments(const TCustomSeries& series) {
        return series.lastSegments_;
    }
};

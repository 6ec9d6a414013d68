#pragma once

// The chart as the main window configures Chart1, and helpers to look at its pixels.

#include "app/PreviewChart.h"
#include "widgets/Chart.h"
#include "widgets/ChartProbe.h"
#include "widgets/ChartSeries.h"

#include <QImage>
#include <QRgb>
#include <memory>

namespace charttest {

inline constexpr QRgb kBlack = 0xFF000000;
inline constexpr QRgb kGray = 0xFF808080;
inline constexpr QRgb kLime = 0xFF00FF00;
inline constexpr QRgb kRed = 0xFFFF0000;
inline constexpr QRgb kBlue = 0xFF0000FF;
inline constexpr QRgb kYellow = 0xFFFFFF00;

// Chart1 as the main window sets it up: 601 x 153, black, top margin 5 %, no title, legend or
// 3D, one line series with red SeriesColor, both axes fixed to 0 ... 20.
struct TWindowChart {
    TWindowChart() { FixPreviewAxes(*chart); }

    std::unique_ptr<TChart> chart = std::make_unique<TChart>();
    TLineSeries* series = &ConfigurePreviewChart(*chart);

    // The widget rendered into an image, as the screen shows it.
    QImage Grab() const { return chart->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

} // namespace charttest

#pragma once

// The chart as the main window configures Chart1, and helpers to look at its pixels.

#include "widgets/Chart.h"

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

// Chart1 of the main window: 601 x 153, black, top margin 5 %, no title, legend or 3D, one
// line series with red SeriesColor, both axes fixed to 0 ... 20.
struct TWindowChart {
    std::unique_ptr<TChart> chart = std::make_unique<TChart>();
    TLineSeries* series = nullptr;

    TWindowChart() {
        TChart& c = *chart;
        c.setGeometry(8, 360, 601, 153);
        c.SetColor(clBlack);
        c.BackWall().Brush().SetColor(clWhite);
        c.BackWall().Brush().SetStyle(bsClear);
        c.SetMarginBottom(0);
        c.SetMarginLeft(0);
        c.SetMarginRight(0);
        c.SetMarginTop(5);
        c.Title().SetText(QStringLiteral("TChart"));
        c.Title().SetVisible(false);
        c.Legend().SetVisible(false);
        c.SetView3D(false);
        series = &c.AddSeries<TLineSeries>();
        series->SetSeriesColor(clRed);
        series->Pointer().SetInflateMargins(true);
        series->Pointer().SetStyle(psRectangle);
        series->Pointer().SetVisible(false);
        c.LeftAxis().SetAutomatic(false);
        c.LeftAxis().SetAxisRange(0.0, 20.0);
        c.BottomAxis().SetAutomatic(false);
        c.BottomAxis().SetAxisRange(0.0, 20.0);
    }

    // The widget rendered into an image, as the screen shows it.
    QImage Grab() const { return chart->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

} // namespace charttest

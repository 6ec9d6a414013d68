#include "app/PreviewChart.h"

#include "widgets/Chart.h"
#include "widgets/ChartSeries.h"

TLineSeries& ConfigurePreviewChart(TChart& chart) {
    chart.setGeometry(kPreviewChartBounds);
    chart.SetColor(clBlack);
    chart.BackWall().Brush().SetColor(clWhite);
    chart.BackWall().Brush().SetStyle(bsClear);
    chart.SetMarginBottom(0);
    chart.SetMarginLeft(0);
    chart.SetMarginRight(0);
    chart.SetMarginTop(5);
    chart.Title().SetText(QStringLiteral("TChart"));
    chart.Title().SetVisible(false);
    chart.Legend().SetVisible(false);
    chart.SetView3D(false);
    TLineSeries& series = chart.AddSeries<TLineSeries>();
    series.SetSeriesColor(clRed);
    series.Pointer().SetInflateMargins(true);
    series.Pointer().SetStyle(psRectangle);
    series.Pointer().SetVisible(false);
    return series;
}

void FixPreviewAxes(TChart& chart) {
    chart.LeftAxis().SetAutomatic(false);
    chart.LeftAxis().SetAxisRange(0.0, 20.0);
    chart.BottomAxis().SetAutomatic(false);
    chart.BottomAxis().SetAxisRange(0.0, 20.0);
}

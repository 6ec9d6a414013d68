// Redraws of the main window's chart (601 x 153, both axes 0 ... 20) into its off-screen image:
// a full redraw with a sweep of 202 points, and the redraw after one new preview sample.
#include "BenchmarkMain.h"

#include "app/PreviewChart.h"
#include "widgets/Chart.h"
#include "widgets/ChartSeries.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void BM_ChartFullRedraw202Points(benchmark::State& state) {
    TChart chart;
    TLineSeries* series = &ConfigurePreviewChart(chart);
    double level = 1.0;
    for (int index = 0; index <= 201; ++index) {
        if (index % 20 == 0) {
            level = level == 1.0 ? 11.0 : 1.0; // a flip every 20 samples
        }
        series->InsertPoint(static_cast<double>(static_cast<long double>(index) * 0.1L), level,
                            QString(), clLime);
    }
    chart.UpdateOffscreenImage(); // the image exists before timing
    for (auto _ : state) {
        chart.RequestRepaint();
        chart.UpdateOffscreenImage();
        benchmark::DoNotOptimize(chart.OffscreenImage().constBits());
    }
    state.counters["redraws"] = chart.RedrawCount();
}
BENCHMARK(BM_ChartFullRedraw202Points)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// One preview sample: a point goes in and the image is brought up to date, as every 10 ms
// during a run; the sweep is wiped after 202 samples as the window does.
void BM_ChartSampleRedraw(benchmark::State& state) {
    TChart chart;
    TLineSeries* series = &ConfigurePreviewChart(chart);
    chart.UpdateOffscreenImage();
    int index = -1;
    for (auto _ : state) {
        ++index;
        series->InsertPoint(static_cast<double>(static_cast<long double>(index) * 0.1L),
                            (index / 20) % 2 == 0 ? 11.0 : 1.0, QString(), clLime);
        if (index > 200) {
            series->ClearPoints();
            index = -1;
        }
        chart.UpdateOffscreenImage();
        benchmark::DoNotOptimize(chart.OffscreenImage().constBits());
    }
    state.counters["static redraws"] = chart.StaticRedrawCount();
}
BENCHMARK(BM_ChartSampleRedraw)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

TAVRIX_BENCHMARK_MAIN()

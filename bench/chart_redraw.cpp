// Updates of the main window's chart (601 x 153, both axes 0 ... 20) in its off-screen image: a
// full redraw with a sweep of 202 points, and the update after one new preview sample (only its
// new segment, and a full redraw when the sweep is wiped), with the pixels it hands on to the
// screen per sample.
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
    FixPreviewAxes(chart);
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
    state.counters["pixels to screen"] = chart.width() * chart.height();
}
BENCHMARK(BM_ChartFullRedraw202Points)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// The window's preview sample by sample: sample `index` of a sweep flipping every 20 samples.
void AddSample(TLineSeries& series, int index) {
    series.InsertPoint(static_cast<double>(static_cast<long double>(index) * 0.1L),
                       (index / 20) % 2 == 0 ? 11.0 : 1.0, QString(), clLime);
}

// Preview samples one by one: a point goes in and the image is brought up to date, as every
// 10 ms during a run; after sample 201 the sweep is wiped (a full redraw) as the window does,
// timed or not.
void RunSamples(benchmark::State& state, bool timeTheWipe) {
    TChart chart;
    TLineSeries& series = ConfigurePreviewChart(chart);
    FixPreviewAxes(chart);
    chart.UpdateOffscreenImage();
    int index = -1;
    double pixels = 0;
    for (auto _ : state) {
        AddSample(series, ++index);
        const bool wipe = index > 200;
        if (wipe && timeTheWipe) {
            series.ClearPoints();
            index = -1;
        }
        const QRect changed = chart.UpdateOffscreenImage();
        pixels += changed.width() * changed.height();
        benchmark::DoNotOptimize(chart.OffscreenImage().constBits());
        if (wipe && !timeTheWipe) {
            state.PauseTiming();
            series.ClearPoints();
            chart.UpdateOffscreenImage();
            index = -1;
            state.ResumeTiming();
        }
    }
    state.counters["pixels to screen"] =
        benchmark::Counter(pixels, benchmark::Counter::kAvgIterations);
    state.counters["full redraws"] = chart.RedrawCount() - chart.IncrementalRedrawCount();
}

// A sample as the window adds it, the wipe included.
void BM_ChartSampleRedraw(benchmark::State& state) {
    RunSamples(state, true);
}
BENCHMARK(BM_ChartSampleRedraw)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// Only the incremental update of a sample inside a sweep; the wipe is not timed.
void BM_ChartIncrementalSample(benchmark::State& state) {
    RunSamples(state, false);
}
BENCHMARK(BM_ChartIncrementalSample)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

TAVRIX_BENCHMARK_MAIN()

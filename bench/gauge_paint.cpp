// One paint of the main window's gauge (585 x 44, horizontal bar, red on black, 32 px text)
// into an image: the bar, the text and their exclusive-or combination, at a few fill levels.
// Each iteration moves the gauge by one percent and back, so every paint composes a new
// picture; BM_GaugeRepaintUnchanged paints the state the picture already shows.
#include "BenchmarkMain.h"

#include "widgets/Gauges.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void MakeWindowGauge(TGauge& gauge) {
    gauge.resize(585, 44);
    gauge.BeginLoading();
    gauge.SetBackColor(clBlack);
    gauge.SetForeColor(clRed);
    gauge.SetColor(clBtnFace);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(32);
    gauge.setFont(font);
    gauge.EndLoading();
    gauge.SetMaxValue(1000);
}

void BM_GaugePaint(benchmark::State& state) {
    TGauge gauge;
    MakeWindowGauge(gauge);
    const auto percent = static_cast<std::int32_t>(state.range(0));
    const std::int32_t levels[2] = {percent * 10, (percent == 100 ? 99 : percent + 1) * 10};
    int next = 0;
    for (auto _ : state) {
        gauge.SetProgress(levels[next]);
        next ^= 1;
        const QImage image = gauge.Render();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_GaugePaint)
    ->Arg(0)
    ->Arg(37)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

void BM_GaugeRepaintUnchanged(benchmark::State& state) {
    TGauge gauge;
    MakeWindowGauge(gauge);
    gauge.SetProgress(370);
    for (auto _ : state) {
        const QImage image = gauge.Render();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_GaugeRepaintUnchanged)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

TAVRIX_BENCHMARK_MAIN()

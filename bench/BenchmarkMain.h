#pragma once

// main() of the Google Benchmark programs: the toolkit on the offscreen platform with the
// program's font substitutions, then the benchmarks.

#include "platform/ui/Application.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#define TAVRIX_BENCHMARK_MAIN()                                                                    \
    int main(int argc, char** argv) {                                                              \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                   \
        QApplication application(argc, argv);                                                      \
        ui::InitApplication();                                                                     \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }

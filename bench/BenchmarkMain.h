#pragma once

// main() of the Google Benchmark programs: the program's start-up on the offscreen platform,
// then the benchmarks.

#include "app/Startup.h"

#include <benchmark/benchmark.h>

#define TAVRIX_BENCHMARK_MAIN()                                                                    \
    int main(int argc, char** argv) {                                                              \
        TProgramStartup startup(argc, argv, ui::TPlatform::Offscreen);                             \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }

// How well the pulses are timed: the real window, offscreen, runs at "600" (2400 bit/s) against
// a pseudo-terminal for a while; a reader thread timestamps what reaches the master side.
// Reports the writer's interval (median, p99 and max deviation from 100 ms), bytes per tick,
// the process's CPU use during the run and while idle, and its resident memory at the end of
// the run (and its peak).
//
//   build/release/bench/pulse_timing [run-seconds=30] [idle-seconds=10]

#include "HarnessSupport.h"

#include "app/Main.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "widgets/Spin.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A "VmRSS"-style line of /proc/self/status, in MiB.
double StatusMiB(const char* key) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return NAN;
    char line[256];
    double kib = NAN;
    const std::size_t length = std::strlen(key);
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::strncmp(line, key, length) == 0 && line[length] == ':')
            kib = std::atof(line + length + 1);
    std::fclose(status);
    return kib / 1024.0;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, index == 0 ? 0 : index - 1)];
}

void Wait(double seconds) {
    harness::Wait(static_cast<int>(seconds * 1000));
}

} // namespace

int main(int argc, char** argv) {
    const double runSeconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const double idleSeconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    harness::InitApplication();
    harness::VirtualPort port;
    const int master = port.Master();

    // The reader sleeps until data comes or it is told to end, so that it adds no wake-ups of
    // its own to the process's CPU time.
    int stopPipe[2];
    if (pipe(stopPipe) != 0) {
        std::perror("pipe");
        return 1;
    }
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, std::size_t>> arrivals;
    std::thread reader([&] {
        char buffer[4096];
        for (;;) {
            pollfd p[2] = {{master, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
            if (::poll(p, 2, -1) <= 0)
                continue;
            if (p[1].revents != 0)
                break;
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            std::lock_guard lock(mutex);
            arrivals.emplace_back(Clock::now(), static_cast<std::size_t>(n));
        }
    });

    int status = 0;
    {
        TMainForm form;
        form.show();
        Wait(1.0);
        form.cbBaudRate->SetItemIndex(4);
        form.SpinEdit2->SetValue(static_cast<int>(runSeconds) + 5);

        const double idleCpu0 = CpuSeconds();
        const auto idle0 = Clock::now();
        Wait(idleSeconds);
        const double idleCpu = (CpuSeconds() - idleCpu0) /
                               std::chrono::duration<double>(Clock::now() - idle0).count() * 100.0;

        form.btnConnect->click();
        Wait(0.5);
        {
            std::lock_guard lock(mutex);
            arrivals.clear();
        }
        const double runCpu0 = CpuSeconds();
        const auto run0 = Clock::now();
        Wait(runSeconds);
        const double runCpu = (CpuSeconds() - runCpu0) /
                              std::chrono::duration<double>(Clock::now() - run0).count() * 100.0;
        const double residentMiB = StatusMiB("VmRSS");
        const double peakMiB = StatusMiB("VmHWM");
        form.btnDisconnect->click();

        std::vector<std::pair<Clock::time_point, std::size_t>> seen;
        {
            std::lock_guard lock(mutex);
            seen = arrivals;
        }
        std::vector<double> intervals;
        std::vector<double> deviations;
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            bytes += seen[i].second;
            if (i == 0)
                continue;
            const double ms =
                std::chrono::duration<double, std::milli>(seen[i].first - seen[i - 1].first)
                    .count();
            intervals.push_back(ms);
            deviations.push_back(std::fabs(ms - 100.0));
        }
        if (intervals.empty()) {
            std::fprintf(stderr, "nothing reached the line\n");
            status = 1;
        } else {
            std::printf("ticks                     %zu\n", seen.size());
            std::printf("writer interval median    %.3f ms\n", Percentile(intervals, 0.5));
            std::printf("|interval - 100 ms| p99   %.3f ms\n", Percentile(deviations, 0.99));
            std::printf("|interval - 100 ms| max   %.3f ms\n",
                        *std::max_element(deviations.begin(), deviations.end()));
            std::printf("bytes per tick            %.2f\n",
                        static_cast<double>(bytes) / static_cast<double>(seen.size()));
            std::printf("CPU during the run        %.3f %% of one core\n", runCpu);
            std::printf("CPU idle                  %.3f %% of one core\n", idleCpu);
            std::printf("resident at end of run    %.1f MiB (peak %.1f MiB)\n", residentMiB,
                        peakMiB);
        }
    }
    const char stop = 0;
    if (::write(stopPipe[1], &stop, 1) != 1)
        std::perror("write");
    reader.join();
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
    return status;
}

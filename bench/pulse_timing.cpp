// How well the pulses are timed: the real window runs at "600" (2400 bit/s) against a
// pseudo-terminal for a while. At the same time an ideal writer (absolute 100 ms deadlines on
// the monotonic clock, ordinary priority, nothing else to do) writes the same pattern to a
// second pseudo-terminal: the reference for what this machine can do right now. A reader
// thread timestamps what reaches both master sides.
// Reports for both the writer's interval (median, p99 and max deviation from 100 ms) and bytes
// per tick; for the program also its CPU use during the run and while idle, and its resident
// memory at the end of the run (and its peak).
//
//   build/release/bench/pulse_timing [run-seconds=30] [idle-seconds=10] [busy-loops=0]
//                                                                            (offscreen)
//   QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1024x768x24'
//       build/release/bench/pulse_timing [run-seconds] [idle-seconds] [busy-loops] (X server)
// busy-loops: that many processes spinning at ordinary priority during the run, the load both
// writers meet (run as root, the program's writer then gets real-time scheduling; the
// reference stays ordinary). Their CPU is not counted as the program's.

#include "HarnessSupport.h"

#include "app/Main.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TThread.h"
#include "widgets/Spin.h"

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
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
    if (status == nullptr) {
        return NAN;
    }
    char line[256];
    double kib = NAN;
    const std::size_t length = std::strlen(key);
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, key, length) == 0 && line[length] == ':') {
            kib = std::atof(line + length + 1);
        }
    }
    std::fclose(status);
    return kib / 1024.0;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, index == 0 ? 0 : index - 1)];
}

void Wait(double seconds) {
    harness::Wait(static_cast<int>(seconds * 1000));
}

// Processes that spin at ordinary priority until they are destroyed.
class BusyLoops {
public:
    explicit BusyLoops(int count) {
        for (int i = 0; i < count; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                volatile unsigned long spin = 0;
                for (;;) {
                    spin = spin + 1;
                }
            }
            if (child > 0) {
                children_.push_back(child);
            }
        }
    }
    ~BusyLoops() {
        for (const pid_t child : children_) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

private:
    std::vector<pid_t> children_;
};

using Arrivals = std::vector<std::pair<Clock::time_point, std::size_t>>;

struct Timing {
    std::size_t ticks = 0;
    double median = NAN;
    double p99 = NAN;
    double max = NAN;
    double bytesPerTick = NAN;
};

Timing Analyse(const Arrivals& seen) {
    Timing timing;
    std::vector<double> intervals;
    std::vector<double> deviations;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        bytes += seen[i].second;
        if (i == 0) {
            continue;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(seen[i].first - seen[i - 1].first).count();
        intervals.push_back(ms);
        deviations.push_back(std::fabs(ms - 100.0));
    }
    timing.ticks = seen.size();
    if (intervals.empty()) {
        return timing;
    }
    timing.median = Percentile(intervals, 0.5);
    timing.p99 = Percentile(deviations, 0.99);
    timing.max = *std::max_element(deviations.begin(), deviations.end());
    timing.bytesPerTick = static_cast<double>(bytes) / static_cast<double>(seen.size());
    return timing;
}

// The ideal writer: absolute deadlines 100 ms apart, a blocking write of the pattern each.
void ReferenceWriter(int slave, const std::atomic<bool>& stop) {
    const char pattern[] = "fffff";
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    while (!stop) {
        deadline.tv_nsec += 100'000'000;
        if (deadline.tv_nsec >= 1'000'000'000) {
            deadline.tv_nsec -= 1'000'000'000;
            ++deadline.tv_sec;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
        }
        if (::write(slave, pattern, sizeof pattern - 1) < 0) {
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const double runSeconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const double idleSeconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    const int busyLoops = argc > 3 ? std::max(0, std::atoi(argv[3])) : 0;
    harness::Startup startup(argc, argv);
    harness::VirtualPort port;
    int referenceMaster = -1;
    int referenceSlave = -1;
    if (openpty(&referenceMaster, &referenceSlave, nullptr, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    tcgetattr(referenceSlave, &raw);
    cfmakeraw(&raw);
    tcsetattr(referenceSlave, TCSANOW, &raw);
    const int masters[2] = {port.Master(), referenceMaster};

    // The reader sleeps until data comes or it is told to end, so that it adds no wake-ups of
    // its own to the process's CPU time.
    int stopPipe[2];
    if (pipe(stopPipe) != 0) {
        std::perror("pipe");
        return 1;
    }
    std::mutex mutex;
    Arrivals arrivals[2];
    std::thread reader([&] {
        // Both writers are timed by this one thread; where the process may, it runs before
        // everything else, so that its own wake-ups blur neither figure.
        ui::SetCurrentThreadPriority(ui::tpTimeCritical);
        char buffer[4096];
        for (;;) {
            pollfd p[3] = {
                {masters[0], POLLIN, 0}, {masters[1], POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
            if (::poll(p, 3, -1) <= 0) {
                continue;
            }
            const Clock::time_point now = Clock::now();
            if (p[2].revents != 0) {
                break;
            }
            for (int side = 0; side < 2; ++side) {
                if ((p[side].revents & POLLIN) == 0) {
                    continue;
                }
                const ssize_t n = ::read(masters[side], buffer, sizeof buffer);
                if (n <= 0) {
                    continue;
                }
                std::lock_guard lock(mutex);
                arrivals[side].emplace_back(now, static_cast<std::size_t>(n));
            }
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

        const std::string loadBefore = harness::LoadAverage();
        std::atomic<bool> stopReference{false};
        const BusyLoops load(busyLoops);
        std::thread reference([&] { ReferenceWriter(referenceSlave, stopReference); });
        form.btnConnect->click();
        Wait(0.5);
        {
            std::lock_guard lock(mutex);
            arrivals[0].clear();
            arrivals[1].clear();
        }
        const double runCpu0 = CpuSeconds();
        const auto run0 = Clock::now();
        Wait(runSeconds);
        const double runCpu = (CpuSeconds() - runCpu0) /
                              std::chrono::duration<double>(Clock::now() - run0).count() * 100.0;
        const double residentMiB = StatusMiB("VmRSS");
        const double peakMiB = StatusMiB("VmHWM");
        Timing timing[2];
        {
            std::lock_guard lock(mutex);
            timing[0] = Analyse(arrivals[0]);
            timing[1] = Analyse(arrivals[1]);
        }
        form.btnDisconnect->click();
        stopReference = true;
        reference.join();

        if (timing[0].ticks < 2 || timing[1].ticks < 2) {
            std::fprintf(stderr, "nothing reached the line\n");
            status = 1;
        } else {
            std::printf("platform %s, %.0f s at \"600\", %d busy loops; %s before, %s after\n",
                        qPrintable(QGuiApplication::platformName()), runSeconds, busyLoops,
                        loadBefore.c_str(), harness::LoadAverage().c_str());
            std::printf("                          %12s %12s\n", "program", "reference");
            std::printf("ticks                     %12zu %12zu\n", timing[0].ticks,
                        timing[1].ticks);
            std::printf("writer interval median    %9.3f ms %9.3f ms\n", timing[0].median,
                        timing[1].median);
            std::printf("|interval - 100 ms| p99   %9.3f ms %9.3f ms\n", timing[0].p99,
                        timing[1].p99);
            std::printf("|interval - 100 ms| max   %9.3f ms %9.3f ms\n", timing[0].max,
                        timing[1].max);
            std::printf("bytes per tick            %12.2f %12.2f\n", timing[0].bytesPerTick,
                        timing[1].bytesPerTick);
            std::printf("CPU during the run        %.3f %% of one core\n", runCpu);
            std::printf("CPU idle                  %.3f %% of one core\n", idleCpu);
            std::printf("resident at end of run    %.1f MiB (peak %.1f MiB)\n", residentMiB,
                        peakMiB);
        }
    }
    const char stop = 0;
    if (::write(stopPipe[1], &stop, 1) != 1) {
        std::perror("write");
    }
    reader.join();
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
    ::close(referenceMaster);
    ::close(referenceSlave);
    return status;
}

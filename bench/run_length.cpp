// Runs at every rate on the simulated line, whose characters take their real line time: the
// real window runs a short run from START to its end by the countdown, and then a long one that
// STOP ends in the middle of a burst. A probe timer on the window's thread measures how long
// the thread was held up at most; the same probe while idle, first, is the machine's reference.
//
//   build/release/bench/run_length [run-seconds=3]
//
// Reports per rate: the run's wall time (START to the port closed by the countdown), the worst
// stall of the window's thread during it, how long STOP took to close the port, and how many
// characters reached the line after STOP.

#include "HarnessSupport.h"

#include "app/Main.h"
#include "platform/comm/SimulatedLine.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "serial/BCPort.h"
#include "widgets/Spin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The longest gap between the 5 ms ticks of a timer on the window's thread, while it runs.
class StallProbe {
public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            worst_ = std::max(worst_, now - last_);
            last_ = now;
            if (OnTick) {
                OnTick();
            }
        });
    }
    void Start() {
        worst_ = {};
        last_ = Clock::now();
        timer_.start(5);
    }
    double Stop() {
        timer_.stop();
        return Ms(worst_);
    }
    std::function<void()> OnTick;

private:
    QTimer timer_;
    Clock::time_point last_;
    Clock::duration worst_{};
};

const char* const kLabels[5] = {"30", "75", "150", "300", "600"};
const int kRates[5] = {110, 300, 600, 1200, 2400};

} // namespace

int main(int argc, char** argv) {
    const int runSeconds = argc > 1 ? std::atoi(argv[1]) : 3;
    harness::Startup startup(argc, argv);
    harness::VirtualPort port;
    auto line = comm::SimulatedLine::Plug("SIM0");

    TMainForm form;
    form.show();
    form.cbPort->SetItems({QStringLiteral("SIM0")});
    form.cbPort->SetItemIndex(0);
    harness::Wait(500);

    StallProbe probe;
    probe.Start();
    harness::Wait(runSeconds * 1000);
    const double idleStall = probe.Stop();

    std::printf("platform %s, run of %d s, %s\n", qPrintable(QGuiApplication::platformName()),
                runSeconds, harness::LoadAverage().c_str());
    std::printf("reference: worst stall of the window's thread while idle  %.1f ms\n\n", idleStall);
    std::printf("%-6s %-9s %12s %12s %12s %14s\n", "freq", "rate", "run (s)", "stall (ms)",
                "STOP (ms)", "after STOP");
    int status = 0;
    for (int index = 0; index < 5; ++index) {
        form.cbBaudRate->SetItemIndex(index);
        form.cbBaudRateChange();

        // A run that the countdown ends.
        form.SpinEdit2->SetValue(runSeconds);
        Clock::time_point ended{};
        probe.OnTick = [&] {
            if (ended == Clock::time_point{} && !form.BComPort1->Connected()) {
                ended = Clock::now();
            }
        };
        probe.Start();
        const Clock::time_point started = Clock::now();
        form.btnConnect->click();
        while (ended == Clock::time_point{} && Clock::now() - started < std::chrono::seconds(60)) {
            harness::Wait(20);
        }
        const double stall = probe.Stop();
        probe.OnTick = nullptr;
        const double run = Ms(ended - started) / 1000.0;

        // A run that STOP ends in the middle of a burst (a burst lasts 545 ms at "30").
        form.SpinEdit2->SetValue(1000);
        form.btnConnect->click();
        harness::Wait(870);
        const Clock::time_point stop = Clock::now();
        form.btnDisconnect->click();
        const double stopMs = Ms(Clock::now() - stop);
        const bool closed = !line->IsOpen();
        const std::size_t sent = line->Sent().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        const std::size_t after = line->Sent().size() - sent;

        std::printf("%-6s %-9d %12.3f %12.1f %12.2f %10zu chr%s\n", kLabels[index], kRates[index],
                    run, stall, stopMs, after, closed ? "" : "  (port still open)");
        if (!closed || ended == Clock::time_point{}) {
            status = 1;
        }
    }
    return status;
}

// What the running window costs in CPU: the real window with a pseudo-terminal as its only port,
// first idle, then during a run at "600" (2400 bit/s). The figures are the process's user and
// system time (utime + stime of /proc/self/stat, all threads, in clock ticks) and, finer, its
// CLOCK_PROCESS_CPUTIME_ID, each over wall time in % of one core. On the xcb platform the X
// server's own time over the same phases is reported as well, when it can be found, and the
// window thread's wake-ups: its voluntary context switches per second (each sleep in the event
// loop's poll that ended ends one).
//
// The platform is the one QT_QPA_PLATFORM names (offscreen when unset):
//   build/release/bench/window_cpu [run-seconds=30] [idle-seconds=30]
//   QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1024x768x24' build/release/bench/window_cpu
// A third argument "no-chart" hides the preview chart: what the rest of the window costs.
// "floor" runs no window at all: an empty widget of the window's size and the ticks the
// window's timers ask for (countdown 100 ms and clock 1 s aligned; during the "run" the preview's
// frame, 30 ms aligned, which delivers the flip and sample ticks) with empty handlers: what the
// event loop alone costs for those wake-ups on this machine, the reference the window's figures
// stand beside.

#include "HarnessSupport.h"

#include "app/Main.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "widgets/Chart.h"
#include "widgets/Spin.h"

#include <QApplication>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <pthread.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The name the window's thread carries in the per-thread figures, whatever the binary is called.
constexpr char kWindowThread[] = "window";

// utime + stime of a process in seconds; negative when it cannot be read.
double StatCpuSeconds(const std::string& pid) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::string stat;
    if (!std::getline(file, stat)) {
        return -1.0;
    }
    // The command name may hold spaces: the fields after it start behind its closing ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1.0;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    // Field 3 (state) is the first after the name; utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) {
            utime = std::stoull(field);
        } else if (index == 15) {
            stime = std::stoull(field);
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Voluntary context switches of a thread of this process, each a sleep that ended; negative when
// they cannot be read.
long long VoluntarySwitches(const std::string& tid) {
    std::ifstream file("/proc/self/task/" + tid + "/status");
    const std::string key = "voluntary_ctxt_switches:";
    for (std::string line; std::getline(file, line);) {
        if (line.compare(0, key.size(), key) == 0) {
            return std::stoll(line.substr(key.size()));
        }
    }
    return -1;
}

// The CPU time of one thread of this process, from the kernel's per-thread CPU clock (the clock
// id glibc's pthread_getcpuclockid builds, from the thread id: CPUCLOCK_PERTHREAD |
// CPUCLOCK_SCHED); negative when it cannot be read.
double ThreadCpuSeconds(pid_t tid) {
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 4 | 2);
    timespec t{};
    if (clock_gettime(clock, &t) != 0) {
        return -1.0;
    }
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TThreadUse {
    double cpu = 0.0;      // seconds
    long long wakeups = 0; // voluntary context switches
};

// The CPU time and wake-ups of every thread of this process by name (threads of one name summed).
std::map<std::string, TThreadUse> ThreadUse() {
    std::map<std::string, TThreadUse> threads;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream nameFile(task.path() / "comm");
        std::string name;
        std::getline(nameFile, name);
        const std::string tid = task.path().filename().string();
        const double seconds = ThreadCpuSeconds(std::stoi(tid));
        const long long switches = VoluntarySwitches(tid);
        if (!name.empty() && seconds >= 0.0 && switches >= 0) {
            threads[name].cpu += seconds;
            threads[name].wakeups += switches;
        }
    }
    return threads;
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The Xvfb or Xorg process that serves DISPLAY, found by its command line (":N" argument).
std::string XServerPid() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display != ':') {
        return {};
    }
    std::string number(display);
    number = number.substr(0, number.find('.'));
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return {};
    }
    std::string found;
    while (dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream file("/proc/" + pid + "/cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(file)), {});
        std::istringstream arguments(cmdline);
        std::string program;
        std::getline(arguments, program, '\0');
        if (program.find("Xvfb") == std::string::npos &&
            program.find("Xorg") == std::string::npos) {
            continue;
        }
        for (std::string argument; std::getline(arguments, argument, '\0');) {
            if (argument == number) {
                found = pid;
            }
        }
    }
    closedir(proc);
    return found;
}

struct TPhase {
    double wall = 0.0;
    double stat = 0.0;                         // utime + stime
    double precise = 0.0;                      // CLOCK_PROCESS_CPUTIME_ID
    double server = -1.0;                      // the X server's utime + stime
    std::map<std::string, TThreadUse> threads; // by thread name
};

TPhase Measure(double seconds, const std::string& serverPid) {
    const double stat0 = StatCpuSeconds("self");
    const double precise0 = ProcessCpuSeconds();
    const double server0 = serverPid.empty() ? -1.0 : StatCpuSeconds(serverPid);
    const std::map<std::string, TThreadUse> threads0 = ThreadUse();
    const auto wall0 = Clock::now();
    harness::Wait(static_cast<int>(seconds * 1000));
    TPhase phase;
    phase.wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    phase.stat = StatCpuSeconds("self") - stat0;
    phase.precise = ProcessCpuSeconds() - precise0;
    phase.threads = ThreadUse();
    for (auto& [name, use] : phase.threads) {
        if (const auto before = threads0.find(name); before != threads0.end()) {
            use.cpu -= before->second.cpu;
            use.wakeups -= before->second.wakeups;
        }
    }
    if (server0 >= 0.0) {
        phase.server = StatCpuSeconds(serverPid) - server0;
    }
    return phase;
}

void Report(const char* name, const TPhase& phase) {
    std::printf("%-6s %6.1f s   utime+stime %6.3f %%   cputime %6.3f %%", name, phase.wall,
                phase.stat / phase.wall * 100.0, phase.precise / phase.wall * 100.0);
    if (const auto window = phase.threads.find(kWindowThread); window != phase.threads.end()) {
        std::printf("   wake-ups %6.1f /s",
                    static_cast<double>(window->second.wakeups) / phase.wall);
    }
    if (phase.server >= 0.0) {
        std::printf("   X server %6.3f %%", phase.server / phase.wall * 100.0);
    }
    std::printf("\n");
    // Each thread that ran, as CPU and wake-ups.
    for (const auto& [name, use] : phase.threads) {
        if (use.cpu > 0.00005 * phase.wall) {
            std::printf("       thread %-16s %6.3f %%   wake-ups %6.1f /s\n", name.c_str(),
                        use.cpu / phase.wall * 100.0,
                        static_cast<double>(use.wakeups) / phase.wall);
        }
    }
}

// The reference without a window: the same timer ticks, nothing done in them.
void MeasureFloor(double idleSeconds, double runSeconds, const std::string& serverPid) {
    QWidget window;
    window.resize(TMainForm::kClientWidth, TMainForm::kClientHeight);
    window.show();
    const auto nothing = [] {};
    QTimer countdown, clock, frame;
    for (QTimer* timer : {&countdown, &clock, &frame}) {
        timer->setTimerType(Qt::CoarseTimer);
        QObject::connect(timer, &QTimer::timeout, nothing);
    }
    countdown.start(100);
    clock.start(1000);
    harness::Wait(1500);
    const TPhase idle = Measure(idleSeconds, serverPid);
    frame.start(TChart::kFramePeriod);
    const TPhase run = Measure(runSeconds, serverPid);
    std::printf("platform %s, no window (timers only), %s\n",
                qPrintable(QGuiApplication::platformName()), harness::LoadAverage().c_str());
    Report("idle", idle);
    Report("run", run);
}

} // namespace

int main(int argc, char** argv) {
    const double runSeconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const double idleSeconds = argc > 2 ? std::atof(argv[2]) : 30.0;
    const std::string mode = argc > 3 ? argv[3] : "";
    const bool hideChart = mode == "no-chart";
    pthread_setname_np(pthread_self(), kWindowThread);
    harness::Startup startup(argc, argv);
    const std::string serverPid =
        QGuiApplication::platformName() == QStringLiteral("xcb") ? XServerPid() : std::string();
    if (mode == "floor") {
        MeasureFloor(idleSeconds, runSeconds, serverPid);
        return 0;
    }
    harness::VirtualPort port;

    // What the window writes is read back now and then, so that the line never fills up; the
    // count shows that the run really wrote.
    const int master = port.Master();
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    long long received = 0;
    const auto drain = [&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {
            received += n;
        }
    };
    QTimer drainTimer;
    QObject::connect(&drainTimer, &QTimer::timeout, drain);
    drainTimer.start(5000);

    int status = 0;
    {
        TMainForm form;
        form.show();
        if (hideChart) {
            form.Chart1->hide();
        }
        form.activateWindow(); // as on a desktop: the caret of the focused field blinks
        harness::Wait(1000);
        form.cbBaudRate->SetItemIndex(4);
        // The run keeps the window's own length (100 s) when that outlasts the measurement, so
        // that the gauge moves as in a real run: one percent a second.
        const int runLength = static_cast<int>(runSeconds) + 5;
        if (form.SpinEdit2->Value() < runLength) {
            form.SpinEdit2->SetValue(runLength);
        }
        harness::Wait(500);

        const TPhase idle = Measure(idleSeconds, serverPid);
        form.btnConnect->click();
        harness::Wait(500);
        drain();
        received = 0;
        const TPhase run = Measure(runSeconds, serverPid);
        drain();
        form.btnDisconnect->click();

        std::printf("platform %s, window %s%s, %s\n", qPrintable(QGuiApplication::platformName()),
                    form.isActiveWindow() ? "active" : "inactive",
                    hideChart ? ", chart hidden" : "", harness::LoadAverage().c_str());
        Report("idle", idle);
        Report("run", run);
        std::printf("bytes written during the run: %lld\n", received);
        if (received == 0) {
            std::fprintf(stderr, "nothing reached the line\n");
            status = 1;
        }
    }
    return status;
}

// Start-up time: from exec to the first frame of the main window on the screen. Each run forks
// and execs this harness again as a fresh process, which then does what the program's main()
// does (application, title, window, show) and notes when the window's first paint has been
// flushed. The parent reports median, quartiles and extremes over the runs.
//
//   xvfb-run -a build/release/bench/first_frame [runs=15]           (X11, as on a desktop)
//   QT_QPA_PLATFORM=offscreen build/release/bench/first_frame [runs=15]
//
// The window lists the machine's serial ports at start-up, as the program does; it opens none.

#include "app/Main.h"
#include "app/Startup.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

long long NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

double Ms(long long ns) {
    return static_cast<double>(ns) / 1e6;
}

// Quits after the window's first paint has gone through: the first paint event of any of its
// widgets (the form itself is covered by its panel and gets none) starts a zero timer, which
// runs once that repaint and its flush to the screen are done.
class FirstPaint : public QObject {
public:
    long long at = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_ && watched->isWidgetType()) {
            seen_ = true;
            QTimer::singleShot(0, [this] {
                at = NowNs();
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};

int Child(long long execNs) {
    const long long mainNs = NowNs();
    int argc = 1;
    char name[] = "first_frame";
    char* argv[] = {name, nullptr};
    TProgramStartup startup(argc, argv);
    TMainForm form;
    const long long createdNs = NowNs();
    FirstPaint paint;
    qApp->installEventFilter(&paint);
    form.show();
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    if (QApplication::exec() != 0) {
        return 1;
    }
    std::printf("%.3f %.3f %.3f\n", Ms(mainNs - execNs), Ms(createdNs - execNs),
                Ms(paint.at - execNs));
    return 0;
}

struct Summary {
    double min, q1, median, q3, max;
};

Summary Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto at = [&](double p) {
        return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
    };
    return {values.front(), at(0.25), at(0.5), at(0.75), values.back()};
}

void Print(const char* what, const std::vector<double>& values) {
    const Summary s = Summarise(values);
    std::printf("%-28s median %7.1f ms   quartiles %7.1f … %7.1f   min %7.1f   max %7.1f\n", what,
                s.median, s.q1, s.q3, s.min, s.max);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        return Child(std::atoll(argv[2]));
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::vector<double> toMain, toWindow, toFrame;
    for (int run = 0; run < runs; ++run) {
        int out[2];
        if (pipe(out) != 0) {
            return 1;
        }
        const std::string started = std::to_string(NowNs());
        const pid_t child = fork();
        if (child == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execl("/proc/self/exe", "first_frame", "--child", started.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char line[256] = {};
        std::size_t length = 0;
        ssize_t n;
        while (length + 1 < sizeof line &&
               (n = read(out[0], line + length, sizeof line - 1 - length)) > 0) {
            length += static_cast<std::size_t>(n);
        }
        close(out[0]);
        int status = 0;
        waitpid(child, &status, 0);
        double a = 0, b = 0, c = 0;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
            std::sscanf(line, "%lf %lf %lf", &a, &b, &c) != 3) {
            std::fprintf(stderr, "run %d failed\n", run);
            return 1;
        }
        toMain.push_back(a);
        toWindow.push_back(b);
        toFrame.push_back(c);
    }
    std::printf("%d runs, platform %s\n", runs,
                qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
                    ? qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM"))
                    : "default");
    Print("exec -> main()", toMain);
    Print("exec -> window created", toWindow);
    Print("exec -> first frame", toFrame);
    return 0;
}

#pragma once

// Shared by the measurement harnesses: the application set up offscreen as the program sets it
// up, a pseudo-terminal standing in for the machine's ports, and a way to let the event loop
// run for a while.

#include "app/Startup.h"
#include "platform/comm/Comm.h"
#include "platform/ports/PortNames.h"
#include "platform/ui/Application.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace harness {

// The program's start-up, offscreen unless QT_QPA_PLATFORM names a platform, with an error box
// that reports on stderr instead of waiting for a click.
class Startup : public TProgramStartup {
public:
    Startup(int& argc, char** argv)
        : TProgramStartup(argc, argv, ui::TPlatform::OffscreenByDefault) {
        ui::SetErrorBoxPresenter([](const QString&, const QString& text) {
            std::fprintf(stderr, "error box: %s\n", qPrintable(text));
        });
    }
};

// The machine's load as /proc/loadavg gives it ("load 0.52 0.31 0.20"), to print beside a figure.
inline std::string LoadAverage() {
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    if (file == nullptr) {
        return "load unknown";
    }
    double one = 0, five = 0, fifteen = 0;
    const int read = std::fscanf(file, "%lf %lf %lf", &one, &five, &fifteen);
    std::fclose(file);
    if (read != 3) {
        return "load unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "load %.2f %.2f %.2f", one, five, fifteen);
    return text;
}

// Runs the event loop for a while. (QTest::qWait sleeps in 10 ms steps, which would delay the
// window's timers.)
inline void Wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A pseudo-terminal linked as "ttyV0" in a device directory of our own, with an empty tty class
// directory; the port list and the device directory point at them while the object lives.
class VirtualPort {
public:
    VirtualPort() {
        char slaveName[256] = {};
        if (openpty(&master_, &slave_, slaveName, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        root_ =
            std::filesystem::temp_directory_path() / ("tavrix-harness-" + std::to_string(getpid()));
        std::filesystem::create_directories(root_ / "dev");
        std::filesystem::create_directories(root_ / "sys");
        std::filesystem::create_symlink(slaveName, root_ / "dev" / "ttyV0");
        ports::SetTtyClassRoot((root_ / "sys").string());
        ports::SetDevRoot((root_ / "dev").string());
        comm::SetDeviceDirectory((root_ / "dev").string());
    }
    ~VirtualPort() {
        ::close(master_);
        ::close(slave_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    // The other side of the line: what the program writes arrives here.
    int Master() const { return master_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::filesystem::path root_;
};

} // namespace harness

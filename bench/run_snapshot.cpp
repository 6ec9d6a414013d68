// Picture of the window during a run: the real window, offscreen, with a pseudo-terminal as its
// only port, started at the chosen frequency; after the given time the window is saved as PNG.
//
//   build/release/bench/run_snapshot out.png [frequency-index=3] [milliseconds=1500]

#include "app/Main.h"
#include "platform/comm/Comm.h"
#include "platform/ports/PortNames.h"
#include "platform/ui/Application.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TTrackBar.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <unistd.h>

namespace {

void Wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [frequency-index] [milliseconds]\n", argv[0]);
        return 2;
    }
    const int frequency = argc > 2 ? std::atoi(argv[2]) : 3;
    const int milliseconds = argc > 3 ? std::atoi(argv[3]) : 1500;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ui::InitApplication();
    ui::SetApplicationTitle(QStringLiteral("Генератор сигналов"));

    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tavrix-snapshot-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "dev");
    std::filesystem::create_directories(root / "sys");
    std::filesystem::create_symlink(slaveName, root / "dev" / "ttyV0");
    ports::SetTtyClassRoot((root / "sys").string());
    ports::SetDevRoot((root / "dev").string());
    comm::SetDeviceDirectory((root / "dev").string());

    int status = 0;
    {
        TMainForm form;
        form.show();
        Wait(1100);
        form.TrackBar1->SetPosition(frequency); // the list and the port follow the bar
        form.btnConnect->click();
        Wait(milliseconds);
        if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            status = 1;
        }
        form.btnDisconnect->click();
    }
    ::close(master);
    ::close(slave);
    std::filesystem::remove_all(root);
    return status;
}

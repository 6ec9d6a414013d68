// Picture of the window during a run: the real window, offscreen, with a pseudo-terminal as its
// only port, started at the chosen frequency; after the given time the window is saved as PNG.
// With QT_QPA_PLATFORM=xcb (under Xvfb) the picture is read back from the X server instead, so
// it shows what the window's paints really put on the screen.
//
//   build/release/bench/run_snapshot out.png [frequency-index=3] [milliseconds=1500]
//   QT_QPA_PLATFORM=xcb xvfb-run -a build/release/bench/run_snapshot out.png

#include "HarnessSupport.h"

#include "app/Main.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TTrackBar.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [frequency-index] [milliseconds]\n", argv[0]);
        return 2;
    }
    const int frequency = argc > 2 ? std::atoi(argv[2]) : 3;
    const int milliseconds = argc > 3 ? std::atoi(argv[3]) : 1500;
    harness::Startup startup(argc, argv);
    harness::VirtualPort port;

    int status = 0;
    {
        TMainForm form;
        form.show();
        harness::Wait(1100);
        form.TrackBar1->SetPosition(frequency); // the list and the port follow the bar
        form.btnConnect->click();
        harness::Wait(milliseconds);
        const QPixmap picture = QGuiApplication::platformName() == QStringLiteral("xcb")
                                    ? form.screen()->grabWindow(form.winId())
                                    : form.grab();
        if (!picture.save(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            status = 1;
        }
        form.btnDisconnect->click();
    }
    return status;
}

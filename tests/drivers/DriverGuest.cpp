// The real window on the kernel's own serial drivers, inside the QEMU guest that
// tests/drivers/driver_test.py boots: the guest's /sys/class/tty and /dev are the port roots,
// ttyS1 is QEMU's 16550 (driver 8250) and ttyUSB0 its FTDI adapter (driver ftdi_sio). The
// program works the window as an operator would and prints marker lines ("@@ ...") on its
// standard output, the guest's console, where the host timestamps them beside the bytes its
// pseudo-terminals receive; the host judges the line, this side checks what the window and the
// driver show. ttyS0 is the guest's console and is never opened.

#include "app/Main.h"
#include "app/Startup.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TThreadTimer.h"
#include "platform/ui/TTrackBar.h"
#include "serial/BCPort.h"
#include "tests/support/ActiveWindow.h"
#include "tests/support/ErrorBoxes.h"
#include "tests/support/EventLoop.h"
#include "widgets/Spin.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using testsupport::ErrorBoxes;
using testsupport::WaitUntil;

constexpr int kRunMs = 2000;
constexpr int kAfterStopMs = 700;
// A handler on the window's thread that takes longer than this holds the window up visibly.
constexpr std::chrono::milliseconds kLongestStall = 250ms;
const QString kUart = QStringLiteral("ttyS1");
const QString kUsb = QStringLiteral("ttyUSB0");
const QString kSetCommState = QStringLiteral("Ошибка функции SetCommState.");
const QString kWriteError = QStringLiteral("Ошибка записи в порт.");

int gFailures = 0;

void Say(const QString& text) {
    std::printf("@@ %s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

bool Expect(bool ok, const QString& what) {
    if (!ok) {
        ++gFailures;
    }
    Say((ok ? QStringLiteral("ok ") : QStringLiteral("fail ")) + what);
    return ok;
}

void Pump(int milliseconds) {
    WaitUntil([] { return false; }, std::chrono::milliseconds(milliseconds));
}

int Entries(const char* directory) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
        ++count;
    }
    return count;
}

bool IsCharDevice(const QString& port) {
    struct stat st{};
    return ::stat(("/dev/" + port).toUtf8().constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

QString Boxes() {
    return QStringLiteral("[") + ErrorBoxes::Texts().join(QStringLiteral(" | ")) +
           QStringLiteral("]");
}

class Operator {
public:
    Operator() {
        Expect(testsupport::ShowActive(form_), QStringLiteral("the window became active"));
        form_.SpinEdit2->SetValue(600);
        Pump(500);
    }

    void PortList() {
        Say(QStringLiteral("case ports begin"));
        QStringList items = form_.cbPort->Items();
        Say(QStringLiteral("ports ") + items.join(QStringLiteral(",")));
        items.sort();
        Expect(items == QStringList{QStringLiteral("ttyS0"), kUart, kUsb},
               QStringLiteral("the port list holds exactly ttyS0, ttyS1, ttyUSB0: ") +
                   form_.cbPort->Items().join(QStringLiteral(", ")));
    }

    void Rates(const QString& port, int first, int last) {
        Say(QStringLiteral("case rates-%1 begin").arg(port));
        for (int index = first; index <= last; ++index) {
            if (Start(port, index)) {
                Pump(kRunMs);
            }
            Stop(port, index);
        }
    }

    // The driver's own view of the line during a run, through a second descriptor of ours.
    void LineState() {
        Say(QStringLiteral("case linestate begin"));
        const bool running = Start(kUart, 4);
        Pump(300);
        const int fd = ::open("/dev/ttyS1", O_RDWR | O_NOCTTY | O_NONBLOCK);
        Expect(fd >= 0, QStringLiteral("second descriptor of /dev/ttyS1 opened (errno %1)")
                            .arg(fd >= 0 ? 0 : errno));
        if (fd >= 0 && running) {
            int bits = 0;
            ::ioctl(fd, TIOCMGET, &bits);
            Expect((bits & TIOCM_DTR) && (bits & TIOCM_RTS),
                   QStringLiteral("DTR and RTS raised during the run (TIOCMGET 0x%1)")
                       .arg(bits, 0, 16));
            serial_icounter_struct before{};
            serial_icounter_struct after{};
            const bool counted = ::ioctl(fd, TIOCGICOUNT, &before) == 0;
            Say(QStringLiteral("icount begin tx=%1").arg(before.tx));
            Pump(1000);
            ::ioctl(fd, TIOCGICOUNT, &after);
            Say(QStringLiteral("icount end tx=%1").arg(after.tx));
            Expect(counted && after.tx > before.tx,
                   QStringLiteral("TIOCGICOUNT tx grew during the run: %1 -> %2")
                       .arg(before.tx)
                       .arg(after.tx));
        }
        Stop(kUart, 4);
        if (fd >= 0) {
            int bits = 0;
            ::ioctl(fd, TIOCMGET, &bits);
            Expect(
                !(bits & TIOCM_DTR) && !(bits & TIOCM_RTS),
                QStringLiteral("DTR and RTS lowered after STOP (TIOCMGET 0x%1)").arg(bits, 0, 16));
            ::close(fd);
        }
    }

    // "30" needs 110 bit/s, below what the FTDI chip makes.
    void Refused() {
        Say(QStringLiteral("case refused begin"));
        if (!Select(kUsb, 0)) {
            return;
        }
        ErrorBoxes::Clear();
        Say(QStringLiteral("refuse ttyUSB0 0 start"));
        QTest::mouseClick(form_.btnConnect, Qt::LeftButton);
        Pump(300);
        Expect(ErrorBoxes::Texts() == QStringList{kSetCommState},
               QStringLiteral("START at \"30\" on ttyUSB0 shows exactly \"%1\": %2")
                   .arg(kSetCommState, Boxes()));
        Expect(Idle(), QStringLiteral("the window stays idle after the refused START: ") + State());
        Say(QStringLiteral("refuse end"));
        // A START that went through after all is ended here, so the next case starts idle.
        if (form_.btnDisconnect->isEnabled()) {
            QTest::mouseClick(form_.btnDisconnect, Qt::LeftButton);
        }
        Pump(kAfterStopMs);
    }

    void RefusedDuringARun() {
        Say(QStringLiteral("case change begin"));
        if (Start(kUsb, 4)) {
            Pump(1000);
            Say(QStringLiteral("change 0"));
            form_.cbBaudRate->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(form_.cbBaudRate, '3'); // "30"
            Pump(300);
            Expect(
                ErrorBoxes::Texts() == QStringList{kSetCommState},
                QStringLiteral("choosing \"30\" during a run on ttyUSB0 shows exactly \"%1\": %2")
                    .arg(kSetCommState, Boxes()));
            Expect(Running(), QStringLiteral("the run goes on after the refused rate: ") + State());
            Pump(1500);
            ErrorBoxes::Clear();
        }
        Stop(kUsb, 4);
    }

    // The adapter pulled during a run, then plugged back.
    void PullAndPlug() {
        Say(QStringLiteral("case pull begin"));
        if (!Select(kUsb, 4)) {
            return;
        }
        const int threads = Entries("/proc/self/task");
        const int fds = Entries("/proc/self/fd");
        if (!Start(kUsb, 4)) {
            Stop(kUsb, 4);
            return;
        }
        Pump(1000);
        const int threadsRunning = Entries("/proc/self/task");
        Say(QStringLiteral("pull"));
        QElapsedTimer pulled;
        pulled.start();
        std::chrono::milliseconds stall{0};
        const bool ended =
            WaitUntil([&] { return !ErrorBoxes::Texts().isEmpty() && Idle(); }, 15000ms, &stall);
        const qint64 tookMs = pulled.elapsed();
        Say(QStringLiteral("stop"));
        Expect(ended, QStringLiteral("an error box and an idle window %1 ms after the pull: %2 %3")
                          .arg(tookMs)
                          .arg(Boxes(), State()));
        WaitUntil([] { return false; }, 1000ms, &stall);
        Expect(
            ErrorBoxes::Texts() == QStringList{kWriteError},
            QStringLiteral("exactly one box \"%1\" a second later: %2").arg(kWriteError, Boxes()));
        const int threadsAfter = Entries("/proc/self/task");
        const int fdsAfter = Entries("/proc/self/fd");
        Expect(threadsAfter == threads && fdsAfter == fds,
               QStringLiteral("threads %1 before the run (%2 during it) -> %3 and descriptors %4 "
                              "-> %5 after the pull")
                   .arg(threads)
                   .arg(threadsRunning)
                   .arg(threadsAfter)
                   .arg(fds)
                   .arg(fdsAfter));
        Expect(stall < kLongestStall,
               QStringLiteral("the window's thread kept serving its events during the pull: "
                              "longest away %1 ms (below %2)")
                   .arg(stall.count())
                   .arg(kLongestStall.count()));
        ErrorBoxes::Clear();

        Say(QStringLiteral("plug"));
        const bool node = WaitUntil([] { return IsCharDevice(kUsb); }, 30000ms);
        if (!Expect(node, QStringLiteral("/dev/ttyUSB0 is back after the plug"))) {
            return;
        }
        QElapsedTimer listed;
        listed.start();
        const bool inList = WaitUntil([&] { return form_.cbPort->Items().contains(kUsb); }, 1000ms);
        Expect(inList, QStringLiteral("ttyUSB0 listed %1 ms after its node appeared: %2")
                           .arg(listed.elapsed())
                           .arg(form_.cbPort->Items().join(QStringLiteral(", "))));
        Pump(100);
        Expect(form_.cbPort->currentText() == kUsb,
               QStringLiteral("ttyUSB0 is selected again: the selection is \"%1\"")
                   .arg(form_.cbPort->currentText()));
        Say(QStringLiteral("case replugged begin"));
        if (Start(kUsb, 4)) {
            Pump(1000);
        }
        Stop(kUsb, 4);
    }

    static int Done() {
        Say(QStringLiteral("done failures=%1").arg(gFailures));
        return gFailures == 0 ? 0 : 1;
    }

private:
    bool Select(const QString& port, int index) {
        const int at = int(form_.cbPort->Items().indexOf(port));
        if (at < 0) {
            Expect(false, QStringLiteral("%1 is in the port list: %2")
                              .arg(port, form_.cbPort->Items().join(QStringLiteral(", "))));
            return false;
        }
        if (!Choose(form_.cbPort, at) || !Choose(form_.cbBaudRate, index)) {
            Expect(false, QStringLiteral("the arrow keys select %1 at index %2: %3")
                              .arg(port)
                              .arg(index)
                              .arg(State()));
            return false;
        }
        return true;
    }

    // Moves a list's selection with the arrow keys, as an operator does.
    static bool Choose(ui::TComboBox* list, int index) {
        list->setFocus(Qt::OtherFocusReason);
        while (list->ItemIndex() != index) {
            const int before = list->ItemIndex();
            QTest::keyClick(list, before < index ? Qt::Key_Down : Qt::Key_Up);
            if (list->ItemIndex() == before) {
                return false;
            }
        }
        return true;
    }

    // START on the port at the frequency index; the host's run begins at the marker.
    bool Start(const QString& port, int index) {
        if (port == QStringLiteral("ttyS0")) {
            return Expect(false, QStringLiteral("START refused on ttyS0, the guest's console"));
        }
        if (!Select(port, index)) {
            return false;
        }
        ErrorBoxes::Clear();
        Say(QStringLiteral("run %1 %2 %3 start").arg(port).arg(index).arg(form_.Edit1->text()));
        QTest::mouseClick(form_.btnConnect, Qt::LeftButton);
        return Expect(Running() && ErrorBoxes::Texts().isEmpty(),
                      QStringLiteral("START on %1 at index %2 runs: %3 %4")
                          .arg(port)
                          .arg(index)
                          .arg(State(), Boxes()));
    }

    void Stop(const QString& port, int index) {
        Say(QStringLiteral("stop"));
        if (form_.btnDisconnect->isEnabled()) {
            QTest::mouseClick(form_.btnDisconnect, Qt::LeftButton);
        }
        Expect(Idle() && ErrorBoxes::Texts().isEmpty(),
               QStringLiteral("STOP on %1 at index %2 leaves the window idle: %3 %4")
                   .arg(port)
                   .arg(index)
                   .arg(State(), Boxes()));
        Pump(kAfterStopMs);
    }

    bool Running() const {
        return form_.BComPort1->Connected() && form_.Timer1->Enabled() &&
               !form_.btnConnect->isEnabled() && form_.btnDisconnect->isEnabled();
    }

    bool Idle() const {
        return !form_.BComPort1->Connected() && !form_.Timer1->Enabled() &&
               form_.btnConnect->isEnabled() && !form_.btnDisconnect->isEnabled();
    }

    QString State() const {
        return QStringLiteral("(connected %1, START %2, STOP %3, port %4, frequency %5, slider %6)")
            .arg(form_.BComPort1->Connected())
            .arg(form_.btnConnect->isEnabled())
            .arg(form_.btnDisconnect->isEnabled())
            .arg(form_.cbPort->currentText(), form_.cbBaudRate->currentText())
            .arg(form_.TrackBar1->Position());
    }

    TMainForm form_;
};

} // namespace

int main(int argc, char** argv) {
    TProgramStartup startup(argc, argv, ui::TPlatform::Offscreen);
    ErrorBoxes::Install();
    Operator window;
    window.PortList();
    window.Rates(kUart, 0, 4);
    window.LineState();
    window.Rates(kUsb, 1, 4);
    window.Refused();
    window.RefusedDuringARun();
    window.PullAndPlug();
    return Operator::Done();
}

#include "tests/app/WindowFixture.h"
#include "tests/support/SerialFixtures.h"
#include "tests/support/SerialPty.h"

#include "platform/ports/PortNames.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TTimer.h"
#include "platform/ui/TTrackBar.h"
#include "serial/BCPort.h"
#include "widgets/Gauges.h"
#include "widgets/Spin.h"

#include <QTest>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

using testsupport::ErrorBoxes;

namespace {

using Clock = std::chrono::steady_clock;

struct Arrival {
    double atMs;
    std::string bytes;
};

class RunControl : public testsupport::WindowTest {
protected:
    // What reaches the master side while the window runs, in chunks with arrival times.
    std::vector<Arrival> Collect(int milliseconds) {
        std::vector<Arrival> arrivals;
        const auto start = Clock::now();
        const auto end = start + std::chrono::milliseconds(milliseconds);
        while (Clock::now() < end) {
            QTest::qWait(1);
            pollfd p{pty_->Master(), POLLIN, 0};
            while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
                char buffer[512];
                const ssize_t n = ::read(pty_->Master(), buffer, sizeof buffer);
                if (n <= 0) {
                    break;
                }
                const double at =
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                arrivals.push_back({at, std::string(buffer, static_cast<std::size_t>(n))});
            }
        }
        return arrivals;
    }

    static std::string Joined(const std::vector<Arrival>& arrivals) {
        std::string all;
        for (const Arrival& a : arrivals) {
            all += a.bytes;
        }
        return all;
    }
};

TEST_F(RunControl, StartOpensTheChosenPortAtTheChosenRateAndWritesThePatternEveryTick) {
    TMainForm& f = *form_;
    ASSERT_EQ(f.cbPort->count(), 1);
    EXPECT_EQ(f.cbPort->currentText(), QStringLiteral("ttyV0"));
    EXPECT_EQ(f.cbBaudRate->currentText(), QStringLiteral("300"));
    Start();
    ASSERT_TRUE(ErrorBoxes::Texts().isEmpty()) << ErrorBoxes::Texts().join('\n').toStdString();
    EXPECT_TRUE(Running());
    EXPECT_EQ(pty_->Rate(), 1200u);
    EXPECT_TRUE(pty_->MasterSettings().c_cflag & CSTOPB);
    // The focus rests in the bar; both fields have their whole text selected.
    EXPECT_TRUE(f.Edit4->hasFocus());
    EXPECT_EQ(f.Edit1->selectedText(), QStringLiteral("fffff"));
    EXPECT_EQ(f.Edit4->selectedText(), QStringLiteral("|||||"));
    EXPECT_EQ(f.Gauge1->MaxValue(), 1000);

    const std::vector<Arrival> arrivals = Collect(650);
    ASSERT_GE(arrivals.size(), 5u);
    for (const Arrival& a : arrivals) {
        EXPECT_EQ(a.bytes, "fffff");
    }
    // The writer keeps to a 100 ms grid of absolute deadlines: a tick may come late, never
    // early, and a late one does not move the next. The grid's origin is the least late tick.
    double origin = arrivals[0].atMs;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        origin = std::min(origin, arrivals[i].atMs - 100.0 * double(i));
    }
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        EXPECT_LT(arrivals[i].atMs - 100.0 * double(i) - origin, 60.0) << "tick " << i;
    }
}

TEST_F(RunControl, StopEndsTheWritesAndReturnsToIdle) {
    Start();
    ASSERT_TRUE(Running());
    EXPECT_FALSE(Joined(Collect(250)).empty());
    Stop();
    EXPECT_TRUE(Idle());
    EXPECT_EQ(form_->RemainingSeconds, 0.0);
    Collect(30); // anything already under way
    EXPECT_EQ(Joined(Collect(350)), "");
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty());
}

TEST_F(RunControl, RunOfOneSecondEndsByItselfWithTheGaugeFull) {
    TMainForm& f = *form_;
    f.SpinEdit2->SetValue(1);
    const auto started = Clock::now();
    Start();
    ASSERT_TRUE(Running());
    EXPECT_EQ(f.Gauge1->MaxValue(), 10);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Idle(); }, std::chrono::milliseconds(3000)));
    const double took = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    EXPECT_GT(took, 900.0);
    EXPECT_LT(took, 1600.0);
    EXPECT_EQ(f.Gauge1->Progress(), 10);
    EXPECT_EQ(f.Gauge1->PercentComplete(), 100);
}

TEST_F(RunControl, RunOfZeroSecondsEndsOnTheFirstTickWithTheGaugeEmpty) {
    TMainForm& f = *form_;
    f.SpinEdit2->SetValue(0);
    Start();
    ASSERT_TRUE(Running());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Idle(); }, std::chrono::milliseconds(500)));
    EXPECT_EQ(f.Gauge1->MaxValue(), 0);
    EXPECT_EQ(f.Gauge1->PercentComplete(), 0);
    // Idle ticks keep closing the closed port and change nothing.
    Pump(250);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(f.Gauge1->PercentComplete(), 0);
}

TEST_F(RunControl, PlusAndMinusChangeWhatTheNextTickWrites) {
    TMainForm& f = *form_;
    Start();
    ASSERT_TRUE(Running());
    QTest::mouseClick(f.Button13, Qt::LeftButton);
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("f"));
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("|"));
    Collect(120);
    std::vector<Arrival> arrivals = Collect(250);
    ASSERT_FALSE(arrivals.empty());
    EXPECT_EQ(arrivals.back().bytes, "f");
    QTest::mouseClick(f.Button13, Qt::LeftButton);
    QTest::mouseClick(f.Button13, Qt::LeftButton);
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("fff"));
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("|||"));
    Collect(120);
    arrivals = Collect(250);
    ASSERT_FALSE(arrivals.empty());
    EXPECT_EQ(arrivals.back().bytes, "fff");
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(f.Button14, Qt::LeftButton);
    }
    EXPECT_EQ(f.Edit1->text(), QString());
    EXPECT_EQ(f.Edit4->text(), QString());
    Collect(120);
    // An empty pattern writes nothing and raises nothing.
    EXPECT_EQ(Joined(Collect(300)), "");
    EXPECT_TRUE(Running());
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty());
}

TEST_F(RunControl, FirstMinusAfterStartEmptiesBothFields) {
    TMainForm& f = *form_;
    Start();
    QTest::mouseClick(f.Button14, Qt::LeftButton);
    EXPECT_EQ(f.Edit1->text(), QString());
    EXPECT_EQ(f.Edit4->text(), QString());
}

TEST_F(RunControl, FrequencyChangesDuringARunReachTheOpenPortAtOnce) {
    TMainForm& f = *form_;
    Start();
    ASSERT_TRUE(Running());
    f.TrackBar1->setFocus();
    QTest::keyClick(f.TrackBar1, Qt::Key_Right);
    EXPECT_EQ(f.TrackBar1->Position(), 4);
    EXPECT_EQ(f.cbBaudRate->ItemIndex(), 4);
    EXPECT_EQ(pty_->Rate(), 2400u);
    QTest::keyClick(f.TrackBar1, Qt::Key_Left);
    QTest::keyClick(f.TrackBar1, Qt::Key_Left);
    EXPECT_EQ(f.cbBaudRate->ItemIndex(), 2);
    EXPECT_EQ(pty_->Rate(), 600u);

    f.cbBaudRate->setFocus();
    QTest::keyClick(f.cbBaudRate, '3'); // "30"
    EXPECT_EQ(f.cbBaudRate->ItemIndex(), 0);
    EXPECT_EQ(f.TrackBar1->Position(), 0);
    EXPECT_EQ(pty_->Rate(), 110u);
    EXPECT_TRUE(Running());
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty());
}

TEST_F(RunControl, PortLockedByAnotherProgramShowsTheMessageAndStaysIdle) {
    const int other = ::open(pty_->LinkPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    Start();
    ::close(other);
    ASSERT_EQ(ErrorBoxes::Texts().size(), 1);
    EXPECT_EQ(ErrorBoxes::Texts()[0], QStringLiteral("Порт занят другой программой."));
    EXPECT_EQ(ErrorBoxes::Captions()[0], QStringLiteral("Генератор сигналов"));
    EXPECT_TRUE(Idle());
}

TEST_F(RunControl, VanishedDeviceEndsTheRunWithOneErrorAndAFreshPortStartsAgain) {
    Start();
    ASSERT_TRUE(Running());
    Collect(150);
    pty_->CloseMaster();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !ErrorBoxes::Texts().isEmpty(); },
                                       std::chrono::milliseconds(3000)));
    // The run ended as STOP ends it; idle ticks count on from 0.0.
    EXPECT_LE(form_->RemainingSeconds, 0.0);
    EXPECT_GT(form_->RemainingSeconds, -0.25);
    Pump(400);
    ASSERT_EQ(ErrorBoxes::Texts().size(), 1) << ErrorBoxes::Texts().join('\n').toStdString();
    EXPECT_EQ(ErrorBoxes::Texts()[0], QStringLiteral("Ошибка записи в порт."));
    EXPECT_TRUE(Idle());

    pty_.reset();
    pty_ = std::make_unique<testsupport::SerialPty>("ttyV0");
    ErrorBoxes::Clear();
    Start();
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << ErrorBoxes::Texts().join('\n').toStdString();
    EXPECT_TRUE(Running());
    EXPECT_FALSE(Joined(Collect(250)).empty());
}

TEST_F(RunControl, CountdownStepsTheGaugeByTenthsOfASecond) {
    TMainForm& f = *form_;
    f.Timer2->SetEnabled(false);
    f.Gauge1->SetMaxValue(10);
    f.RemainingSeconds = 1.0;
    std::vector<int> progress;
    for (int tick = 0; tick < 9; ++tick) {
        f.Timer2Timer();
        progress.push_back(f.Gauge1->Progress());
    }
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_GT(f.RemainingSeconds, 0.0);
}

TEST_F(RunControl, IdleGaugeStandsFullFromTheFirstTick) {
    TMainForm& f = *form_;
    // Empty until the first countdown tick, which on a loaded machine (a sanitizer tree beside
    // other builds) may come before the test looks.
    if (f.RemainingSeconds == 0.0) {
        EXPECT_EQ(f.Gauge1->PercentComplete(), 0);
    }
    f.Timer2Timer();
    EXPECT_EQ(f.Gauge1->PercentComplete(), 100);
    EXPECT_TRUE(Idle());
}

TEST_F(RunControl, ListAndTrackBarFollowEachOtherWithoutRunningTheListHandlerFromCode) {
    TMainForm& f = *form_;
    f.TrackBar1->SetPosition(1);
    EXPECT_EQ(f.cbBaudRate->ItemIndex(), 1);
    // The handler sets the rate from the list as it stood before the list followed the bar.
    EXPECT_EQ(f.BComPort1->BaudRate(), br1200);
    f.TrackBar1->SetPosition(1);
    EXPECT_EQ(f.BComPort1->BaudRate(), br1200);
    f.cbBaudRate->setFocus();
    QTest::keyClick(f.cbBaudRate, Qt::Key_Down);
    EXPECT_EQ(f.cbBaudRate->ItemIndex(), 2);
    EXPECT_EQ(f.TrackBar1->Position(), 2);
    EXPECT_EQ(f.BComPort1->BaudRate(), br600);
}

} // namespace

namespace {

class RunControlFocus : public RunControl {};

TEST_F(RunControlFocus, HiddenPatternFieldIsReachableDuringARunAndTypingChangesTheLine) {
    TMainForm& f = *form_;
    Start();
    ASSERT_TRUE(Running());
    f.Button14->setFocus();
    QTest::keyClick(f.Button14, Qt::Key_Down); // wraps round to the first control of the group
    EXPECT_TRUE(f.Edit1->hasFocus());
    EXPECT_EQ(f.Edit1->selectedText(), QStringLiteral("fffff"));
    QTest::keyClicks(f.Edit1, "ff");
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("ff"));
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("|||||")); // nothing visible changed
    Collect(120);
    const std::vector<Arrival> arrivals = Collect(250);
    ASSERT_FALSE(arrivals.empty());
    EXPECT_EQ(arrivals.back().bytes, "ff");

    f.TrackBar1->setFocus();
    QTest::keyClick(f.TrackBar1, Qt::Key_Tab);
    EXPECT_TRUE(f.Edit1->hasFocus());
}

TEST_F(RunControlFocus, StartWithNoPortsTriesTheEmptyNameAndStaysIdle) {
    pty_.reset();
    testsupport::TempDir emptyDev;
    ports::SetDevRoot(emptyDev.Path());
    CreateWindow();
    ASSERT_EQ(form_->cbPort->count(), 0);
    Start();
    ASSERT_EQ(ErrorBoxes::Texts().size(), 1);
    EXPECT_EQ(ErrorBoxes::Texts()[0], QStringLiteral("Ошибка функции SetupComm."));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(form_->BComPort1->Port(), QString());
}

} // namespace

#include "platform/ui/Application.h"
#include "platform/ui/ApplicationPrivate.h"
#include "platform/ui/TTimer.h"
#include "tests/support/ErrorBoxes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

using testsupport::ErrorBoxes;

TEST(ErrorBox, AppendsFullStopOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(ui::ErrorBoxText(QStringLiteral("Порт занят другой программой")),
              QStringLiteral("Порт занят другой программой."));
    EXPECT_EQ(ui::ErrorBoxText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(ui::ErrorBoxText(QStringLiteral("Why?")), QStringLiteral("Why?."));
    EXPECT_EQ(ui::ErrorBoxText(QStringLiteral("a-")), QStringLiteral("a-"));
    EXPECT_EQ(ui::ErrorBoxText(QStringLiteral("a,")), QStringLiteral("a,"));
    EXPECT_EQ(ui::ErrorBoxText(QStringLiteral("a/")), QStringLiteral("a/."));
    EXPECT_EQ(ui::ErrorBoxText(QString()), QString());
}

TEST(ErrorBox, HandlerErrorIsShownWithTheApplicationTitle) {
    ErrorBoxes::Clear();
    ui::SetApplicationTitle(QStringLiteral("Генератор сигналов"));
    ui::RunHandler([] { throw std::runtime_error("Ошибка функции SetupComm"); });
    ASSERT_EQ(ErrorBoxes::Texts().size(), 1);
    EXPECT_EQ(ErrorBoxes::Texts()[0], QStringLiteral("Ошибка функции SetupComm."));
    EXPECT_EQ(ErrorBoxes::Captions()[0], QStringLiteral("Генератор сигналов"));
}

TEST(ErrorBox, NoSecondBoxWhileOneIsOpen) {
    ErrorBoxes::Clear();
    int shown = 0;
    ui::SetErrorBoxPresenter([&](const QString&, const QString&) {
        ++shown;
        // An error raised while the box is open is not stacked on top of it.
        EXPECT_TRUE(ui::ErrorBoxOpen());
        ui::ShowErrorBox(QStringLiteral("second"));
    });
    ui::ShowErrorBox(QStringLiteral("first"));
    EXPECT_FALSE(ui::ErrorBoxOpen());
    ui::ShowErrorBox(QStringLiteral("third"));
    EXPECT_EQ(shown, 2);
    ErrorBoxes::Install();
}

TEST(WindowTimer, ActsOnlyOnRealChangesAndFloorsShortIntervals) {
    ui::TTimer timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
    timer.SetInterval(1);
    EXPECT_EQ(timer.Interval(), 1);
    EXPECT_EQ(timer.Period(), ui::TTimer::kMinimumPeriod);
    timer.SetInterval(100);
    EXPECT_EQ(timer.Period(), 100);
}

TEST(WindowTimer, AssigningTheValuesItHasKeepsThePeriodAndARealChangeRestartsIt) {
    ui::TTimer timer;
    timer.SetInterval(400);
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> ticks;
    timer.OnTimer = [&] { ticks.push_back(clock.elapsed()); };
    const auto runUntil = [&](auto done) {
        while (!done() && clock.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
    };
    runUntil([&] { return clock.elapsed() >= 200; });
    timer.SetInterval(400); // the same values: the period started at 0 goes on
    timer.SetEnabled(true);
    runUntil([&] { return !ticks.empty(); });
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_LT(ticks[0], 550); // a restart at 200 would tick at 600

    // A real change half-way through the period: it starts again from the change.
    runUntil([&] { return clock.elapsed() >= ticks[0] + 200; });
    const qint64 changed = clock.elapsed();
    timer.SetInterval(450);
    runUntil([&] { return ticks.size() == 2; });
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_GE(ticks[1] - changed, 440); // without the restart: about 200
    timer.SetEnabled(false);
}

TEST(WindowTimer, KeepsRunningAfterItsHandlerRaises) {
    ErrorBoxes::Clear();
    ui::TTimer timer;
    timer.SetInterval(10);
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        throw std::runtime_error("tick failed");
    };
    QElapsedTimer clock;
    clock.start();
    while (ticks < 3 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(ErrorBoxes::Texts().size(), ticks);
    timer.SetEnabled(false);
    const int stopped = ticks;
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 50) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(ticks, stopped);
}

TEST(WindowTimer, FailingTimerKeepsTickingWhileItsErrorBoxIsOpenAndBoxesDoNotStack) {
    ui::TTimer timer;
    timer.SetInterval(10);
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        throw std::runtime_error("Ошибка записи в порт");
    };
    int boxes = 0;
    int ticksWhileOpen = 0;
    ui::SetErrorBoxPresenter([&](const QString&, const QString& text) {
        ++boxes;
        EXPECT_EQ(text, QStringLiteral("Ошибка записи в порт."));
        // A modal box runs its own loop; the timers go on meanwhile.
        const int before = ticks;
        QElapsedTimer open;
        open.start();
        while (open.elapsed() < 120) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        ticksWhileOpen += ticks - before;
    });
    QElapsedTimer clock;
    clock.start();
    while (boxes < 2 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    timer.SetEnabled(false);
    ErrorBoxes::Install();
    EXPECT_EQ(boxes, 2);           // one box at a time, a new one after the first closed
    EXPECT_GE(ticksWhileOpen, 10); // about 12 per box at 10 ms
    EXPECT_GT(ticks, ticksWhileOpen);
}

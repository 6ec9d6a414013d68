// The thread timer: ticks on a thread of its own at absolute deadlines, one overdue tick and no
// backlog after a long tick, disabling that ends a blocking tick at once, and errors that reach
// the owner's thread once.

#include "platform/ui/TThreadTimer.h"
#include "tests/support/EventLoop.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testsupport::WaitUntil;

double MsSince(Clock::time_point start, Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - start).count();
}

// Tick start times, recorded from the timer's thread.
class TickLog {
public:
    void Add() {
        std::lock_guard lock(mutex_);
        ticks_.push_back(Clock::now());
    }
    std::vector<Clock::time_point> Ticks() const {
        std::lock_guard lock(mutex_);
        return ticks_;
    }
    std::size_t Count() const { return Ticks().size(); }

private:
    mutable std::mutex mutex_;
    std::vector<Clock::time_point> ticks_;
};

// A tick that blocks like a write to a slow line: until it is released. A release that comes
// before the block has begun does not count, as an abort does not end a write not yet started.
class BlockingTick {
public:
    void Block(milliseconds limit) {
        std::unique_lock lock(mutex_);
        blocked_ = true;
        released_ = false;
        changed_.wait_for(lock, limit, [this] { return released_; });
        blocked_ = false;
        if (released_) {
            throw std::runtime_error("aborted");
        }
    }
    void Release() {
        std::lock_guard lock(mutex_);
        if (blocked_) {
            released_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool blocked_ = false;
    bool released_ = false;
};

TEST(ThreadTimer, TicksOnItsOwnThreadAtDeadlinesThatATicksLengthDoesNotShift) {
    ui::TThreadTimer timer;
    TickLog log;
    std::atomic<bool> onOwnThread{true};
    const auto owner = std::this_thread::get_id();
    timer.SetInterval(20);
    timer.OnTimer = [&] {
        log.Add();
        onOwnThread = onOwnThread && std::this_thread::get_id() != owner;
        std::this_thread::sleep_for(milliseconds(8));
    };
    EXPECT_FALSE(timer.Enabled());
    const auto start = Clock::now();
    timer.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 25; }, milliseconds(5000)));
    timer.SetEnabled(false);
    const auto ticks = log.Ticks();
    EXPECT_TRUE(onOwnThread);
    // The first tick one period after enabling; the 25th at 25 periods, not 25 × (period +
    // the tick's 8 ms) as deadlines taken from each tick's end would give.
    EXPECT_GE(MsSince(start, ticks[0]), 19.0);
    EXPECT_LT(MsSince(start, ticks[24]), 25 * 20.0 + 60.0);
    // Nothing ticks once disabled.
    const std::size_t count = ticks.size();
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(log.Count(), count);
}

TEST(ThreadTimer, ATickLongerThanThePeriodIsFollowedByOneOverdueTickAndNoBacklog) {
    ui::TThreadTimer timer;
    TickLog log;
    timer.SetInterval(20);
    // The first three ticks take 70 ms each, the rest none.
    timer.OnTimer = [&] {
        log.Add();
        if (log.Count() <= 3) {
            std::this_thread::sleep_for(milliseconds(70));
        }
    };
    timer.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 8; }, milliseconds(5000)));
    timer.SetEnabled(false);
    const auto ticks = log.Ticks();
    // Back to back behind the long ticks ...
    for (std::size_t i = 1; i <= 3; ++i) {
        EXPECT_LT(MsSince(ticks[i - 1], ticks[i]), 70.0 + 15.0) << "tick " << i;
    }
    // ... then the period starts again from the overdue tick: no burst of the ticks that came
    // due during the long ones (a tick may come late, never early).
    for (std::size_t i = 4; i < 8; ++i) {
        EXPECT_GT(MsSince(ticks[3], ticks[i]), 20.0 * double(i - 3) - 1.0) << "tick " << i;
    }
}

TEST(ThreadTimer, EnablingOrSettingTheIntervalAgainDoesNotRestartThePeriod) {
    ui::TThreadTimer timer;
    TickLog log;
    timer.SetInterval(300);
    timer.OnTimer = [&] { log.Add(); };
    const auto start = Clock::now();
    timer.SetEnabled(true);
    std::this_thread::sleep_for(milliseconds(200));
    timer.SetEnabled(true);
    timer.SetInterval(300);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 1; }, milliseconds(3000)));
    timer.SetEnabled(false);
    // A restart at 200 ms would have put the first tick at 500 ms.
    EXPECT_LT(MsSince(start, log.Ticks()[0]), 450.0);
}

TEST(ThreadTimer, ANewIntervalRestartsThePeriodWithoutEndingTheThread) {
    ui::TThreadTimer timer;
    TickLog log;
    timer.SetInterval(5000);
    timer.OnTimer = [&] { log.Add(); };
    timer.SetEnabled(true);
    std::this_thread::sleep_for(milliseconds(20));
    timer.SetInterval(10);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 3; }, milliseconds(3000)));
    timer.SetEnabled(false);
}

TEST(ThreadTimer, DisablingEndsTheWaitForAFarDeadlineAtOnce) {
    ui::TThreadTimer timer;
    std::atomic<int> ticks{0};
    timer.SetInterval(10000);
    timer.OnTimer = [&] { ++ticks; };
    timer.SetEnabled(true);
    std::this_thread::sleep_for(milliseconds(50));
    const auto stop = Clock::now();
    timer.SetEnabled(false);
    EXPECT_LT(MsSince(stop, Clock::now()), 1000.0);
    EXPECT_EQ(ticks, 0);
}

TEST(ThreadTimer, DisablingEndsABlockingTickAtOnceThroughTheAbort) {
    ui::TThreadTimer timer;
    BlockingTick tick;
    std::atomic<int> ticks{0};
    std::atomic<int> errors{0};
    timer.SetInterval(10);
    timer.OnTimer = [&] {
        ++ticks;
        tick.Block(milliseconds(5000));
    };
    timer.OnAbort = [&] { tick.Release(); };
    timer.OnError = [&](std::exception_ptr) { ++errors; };
    timer.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 1; }, milliseconds(3000)));
    std::this_thread::sleep_for(milliseconds(20));
    const auto stop = Clock::now();
    timer.SetEnabled(false);
    EXPECT_LT(MsSince(stop, Clock::now()), 1000.0);
    // The error the abort caused is no failure of the timer.
    QCoreApplication::processEvents();
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(ticks, 1);
}

TEST(ThreadTimer, AnAbortBeforeTheTickBlocksIsFollowedByAnotherOnce) {
    // Disabling at every moment around the start of a tick: a block that begins just after an
    // abort must still end at once.
    for (int delay = 0; delay < 12; ++delay) {
        SCOPED_TRACE("delay " + std::to_string(delay));
        ui::TThreadTimer timer;
        BlockingTick tick;
        std::atomic<bool> started{false};
        timer.SetInterval(10);
        timer.OnTimer = [&] {
            started = true;
            std::this_thread::sleep_for(milliseconds(2));
            tick.Block(milliseconds(5000));
        };
        timer.OnAbort = [&] { tick.Release(); };
        timer.SetEnabled(true);
        ASSERT_TRUE(WaitUntil([&] { return started.load(); }, milliseconds(3000)));
        std::this_thread::sleep_for(std::chrono::microseconds(delay * 250));
        const auto stop = Clock::now();
        timer.SetEnabled(false);
        EXPECT_LT(MsSince(stop, Clock::now()), 1000.0);
    }
}

TEST(ThreadTimer, AFailedTickEndsTheTickingAndReachesTheOwnersThreadOnce) {
    ui::TThreadTimer timer;
    std::atomic<int> ticks{0};
    std::vector<std::string> errors;
    std::thread::id errorThread;
    timer.SetInterval(10);
    timer.OnTimer = [&] {
        if (++ticks == 3) {
            throw std::runtime_error("line gone");
        }
    };
    timer.OnError = [&](std::exception_ptr error) {
        errorThread = std::this_thread::get_id();
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            errors.push_back(e.what());
        }
    };
    timer.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return !errors.empty(); }, milliseconds(3000)));
    std::this_thread::sleep_for(milliseconds(50));
    QCoreApplication::processEvents();
    EXPECT_EQ(errors, std::vector<std::string>{"line gone"});
    EXPECT_EQ(errorThread, std::this_thread::get_id());
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(timer.Enabled());
    // Enabled again after a failure, it ticks again.
    timer.SetEnabled(false);
    ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetEnabled(true);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 2; }, milliseconds(3000)));
}

TEST(ThreadTimer, AFailureNotYetDeliveredWhenTheTimerIsDisabledIsDropped) {
    ui::TThreadTimer timer;
    std::atomic<bool> failed{false};
    int errors = 0;
    timer.SetInterval(10);
    timer.OnTimer = [&] {
        failed = true;
        throw std::runtime_error("line gone");
    };
    timer.OnError = [&](std::exception_ptr) { ++errors; };
    timer.SetEnabled(true);
    while (!failed) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    timer.SetEnabled(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(errors, 0);
}

TEST(ThreadTimer, LeavesNoThreadBehind) {
    const auto threads = [] {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
            count += entry.is_directory() ? 1 : 0;
        }
        return count;
    };
    {
        // What a process starts once with its first thread (a sanitizer's own background
        // thread) is not the timer's.
        std::thread([] {}).join();
    }
    const int before = threads();
    {
        ui::TThreadTimer timer;
        timer.SetInterval(10);
        for (int i = 0; i < 20; ++i) {
            timer.SetEnabled(true);
            timer.SetEnabled(false);
        }
        timer.SetEnabled(true);
        // Destroyed while enabled: its thread ends with it.
    }
    EXPECT_EQ(threads(), before);
}

} // namespace

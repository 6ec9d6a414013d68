// Work handed to the UI thread: the synchronise call, sent messages, and threads whose end
// the UI thread waits for.
#include "platform/ui/Synchronize.h"
#include "platform/ui/NotifyWindow.h"
#include "platform/ui/TThread.h"

#include <QCoreApplication>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

bool ServeUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

TEST(SynchronizeTest, RunsOnTheUiThreadAndCarriesErrorsBack) {
    const auto ui = std::this_thread::get_id();
    std::atomic<bool> done{false};
    std::thread::id ranOn;
    std::string caught;
    std::thread worker([&] {
        ui::Synchronize([&] { ranOn = std::this_thread::get_id(); });
        try {
            ui::Synchronize([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        done = true;
    });
    EXPECT_TRUE(ServeUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(ranOn, ui);
    EXPECT_EQ(caught, "boom");
    bool direct = false;
    ui::Synchronize([&] { direct = true; }); // on the UI thread itself: at once
    EXPECT_TRUE(direct);
}

TEST(NotifyWindowTest, SentMessagesWaitForTheReplyWhichMayComeEarly) {
    std::atomic<bool> releasedEarly{false};
    std::atomic<bool> procEnded{false};
    bool crossThread = false;
    ui::TNotifyWindow window([&](ui::TMessage& m) {
        crossThread = ui::InSendMessage();
        if (m.Msg == ui::WM_USER + 2) {
            EXPECT_TRUE(ui::ReplyMessage(7));
            EXPECT_FALSE(ui::ReplyMessage(8)); // replied already
            // The sender goes on while this procedure still runs.
            const auto deadline = std::chrono::steady_clock::now() + 3s;
            while (!releasedEarly && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(1ms);
            }
            procEnded = true;
            return;
        }
        m.Result = ui::LRESULT(m.WParam + 1);
    });
    // From the UI thread: called directly.
    EXPECT_EQ(ui::SendMessage(&window, ui::WM_USER + 1, 41, 0), 42);
    EXPECT_FALSE(crossThread);
    EXPECT_FALSE(ui::ReplyMessage(1));

    std::atomic<ui::LRESULT> result{0}, early{0};
    std::atomic<bool> done{false};
    std::thread sender([&] {
        result = ui::SendMessage(&window, ui::WM_USER + 1, 1, 0);
        early = ui::SendMessage(&window, ui::WM_USER + 2, 0, 0);
        releasedEarly = !procEnded;
        done = true;
    });
    EXPECT_TRUE(ServeUntil([&] { return done.load(); }));
    sender.join();
    EXPECT_EQ(result, 2);
    EXPECT_EQ(early, 7);
    EXPECT_TRUE(releasedEarly);
    EXPECT_TRUE(crossThread);
    EXPECT_EQ(ui::SendMessage(nullptr, ui::WM_USER, 0, 0), 0);
}

class Worker : public ui::TThread {
public:
    explicit Worker(std::function<void()> body) : TThread(true), body_(std::move(body)) {}
    ~Worker() override { Destroying(); }

protected:
    void Execute() override { body_(); }

private:
    std::function<void()> body_;
};

TEST(TThreadTest, WaitForOnTheUiThreadServesPendingRequests) {
    int served = 0;
    Worker worker([&] { ui::Synchronize([&] { ++served; }); });
    EXPECT_FALSE(worker.Finished()); // created suspended
    worker.Start();
    worker.WaitFor(); // no event loop runs here: WaitFor itself serves the request
    EXPECT_EQ(served, 1);
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(worker.FatalException(), nullptr);
}

TEST(TThreadTest, AnErrorEscapingExecuteIsKept) {
    Worker worker([] { throw std::runtime_error("fatal"); });
    worker.Start();
    worker.WaitFor();
    ASSERT_NE(worker.FatalException(), nullptr);
    EXPECT_THROW(std::rethrow_exception(worker.FatalException()), std::runtime_error);
}

TEST(TThreadTest, TerminateIsSeenByTheBody) {
    std::atomic<int> rounds{0};
    Worker* self = nullptr;
    Worker worker([&] {
        while (!self->Terminated()) {
            ++rounds, std::this_thread::sleep_for(1ms);
        }
    });
    self = &worker;
    worker.SetPriority(ui::tpLower);
    worker.Start();
    // A lower-priority thread on a loaded machine may take a while to get its first round.
    for (int waited = 0; rounds == 0 && waited < 5000; ++waited) {
        std::this_thread::sleep_for(1ms);
    }
    worker.Terminate();
    worker.WaitFor();
    EXPECT_GT(rounds, 0);
}

} // namespace

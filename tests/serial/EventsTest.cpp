// The event thread and its three dispatch routes, on the simulated line and on ptys.
#include "platform/ui/SynchronizePrivate.h"
#include "serial/BCPort.h"
#include "serial/ComThread.h"
#include "tests/support/ErrorBoxes.h"
#include "tests/support/SerialFixtures.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace testsupport;
using namespace std::chrono_literals;
using ::testing::ElementsAre;

namespace {

TEST(EventMaskTest, TranslationBothWays) {
    EXPECT_EQ(EventsToMask(AllWatchEvents), 0x05BDu);
    EXPECT_EQ(EventsToMask({}), 0u);
    const struct {
        TWatchEvent event;
        comm::DWORD mask;
    } table[] = {{weRxChar, 0x0001}, {weTxEmpty, 0x0004}, {weRing, 0x0100},  {weCTS, 0x0008},
                 {weDSR, 0x0010},    {weRLSD, 0x0020},    {weError, 0x0080}, {weRx80Full, 0x0400}};
    for (auto row : table) {
        EXPECT_EQ(EventsToMask({row.event}), row.mask) << int(row.event);
        EXPECT_EQ(MaskToEvents(row.mask), TWatchEvents{row.event}) << int(row.event);
    }
    EXPECT_EQ(MaskToEvents(0xFFFF), AllWatchEvents);
    EXPECT_EQ(MaskToEvents(0x0002 | 0x0040 | 0x0200 | 0x0800), TWatchEvents{}); // not asked for
    EXPECT_EQ(WM_PORTEVENT, 1025u);
}

class Events : public SimulatedLineTest {
protected:
    // Makes the event thread wait in a synchronise call that the UI thread does not serve yet.
    void HoldThreadInSynchronize() {
        const auto before = ui::SynchronizeCalls();
        modem_ ^= comm::MS_DSR_ON;
        line_->SetModemStatus(modem_);
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (ui::SynchronizeCalls() == before && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_NE(ui::SynchronizeCalls(), before);
    }
    // Lets the thread's pending work run and settle.
    void Settle(std::chrono::milliseconds time = 100ms) {
        WaitUntil([] { return false; }, time);
    }

    comm::DWORD modem_ = 0;
    std::mutex mutex_;
    std::vector<std::string> calls_;
    void Record(const std::string& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    std::vector<std::string> Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
};

TEST_F(Events, HandlersFireOnTheUiThreadWithTheirArguments) {
    const auto ui = std::this_thread::get_id();
    std::atomic<bool> elsewhere{false};
    auto here = [&] { elsewhere = elsewhere || std::this_thread::get_id() != ui; };
    port_->SetInBufSize(10);
    port_->OnRxChar = [&](QObject* sender, int count) {
        here();
        EXPECT_EQ(sender, port_.get());
        Record("rx" + std::to_string(count));
    };
    port_->OnRx80Full = [&](QObject*) { here(), Record("80"); };
    port_->OnCTSChange = [&](QObject*, bool state) { here(), Record(state ? "cts1" : "cts0"); };
    port_->OnDSRChange = [&](QObject*, bool state) { here(), Record(state ? "dsr1" : "dsr0"); };
    port_->OnRLSDChange = [&](QObject*, bool state) { here(), Record(state ? "cd1" : "cd0"); };
    port_->OnRing = [&](QObject*) { here(), Record("ring"); };
    port_->OnTxEmpty = [&](QObject*) { here(), Record("txempty"); };
    port_->OnError = [&](QObject*, TComErrors errors) {
        here(), Record("err" + std::to_string(errors.Bits()));
    };
    ASSERT_TRUE(port_->Open());

    auto expect = [&](auto action, std::vector<std::string> wanted) {
        calls_.clear();
        action();
        EXPECT_TRUE(WaitUntil([&] { return Calls().size() >= wanted.size(); }));
        Settle(30ms);
        EXPECT_EQ(Calls(), wanted);
    };
    expect([&] { line_->Inject("abc"); }, {"rx3"});
    expect([&] { line_->Inject("defgh"); }, {"rx8", "80"}); // the 80 % mark of 10 bytes
    line_->TakeReceived();
    expect([&] { line_->SetModemStatus(comm::MS_CTS_ON); }, {"cts1"});
    expect([&] { line_->SetModemStatus(comm::MS_CTS_ON | comm::MS_RLSD_ON); }, {"cd1"});
    expect([&] { line_->SetModemStatus(comm::MS_RLSD_ON | comm::MS_DSR_ON); }, {"cts0", "dsr1"});
    expect([&] { line_->SetModemStatus(comm::MS_RING_ON); }, {"ring", "dsr0", "cd0"});
    expect([&] { line_->InjectErrors(comm::CE_FRAME | comm::CE_OVERRUN); }, {"err5"});
    expect([&] { EXPECT_EQ(port_->WriteStr("f"), 1); }, {"txempty"});
    EXPECT_FALSE(elsewhere);
}

TEST_F(Events, ErrorsComeBeforeReceivedDataAndCountIsTakenAtDispatch) {
    port_->OnError = [&](QObject*, TComErrors) { Record("error"); };
    port_->OnRxChar = [&](QObject*, int count) { Record("rx" + std::to_string(count)); };
    ASSERT_TRUE(port_->Open());
    HoldThreadInSynchronize();
    line_->Inject("ab");
    line_->Inject("cde");
    line_->InjectErrors(comm::CE_FRAME);
    ASSERT_TRUE(WaitUntil([&] { return Calls().size() == 2; }));
    EXPECT_THAT(Calls(), ElementsAre("error", "rx5"));

    // Bytes read before the dispatch runs: count 0, no call.
    calls_.clear();
    HoldThreadInSynchronize();
    line_->Inject("x");
    line_->TakeReceived();
    Settle();
    EXPECT_TRUE(Calls().empty());
}

TEST_F(Events, ErrorFlagsAndParity) {
    // Nothing is dispatched by the thread; the error event is sent to the window from here.
    port_->SetWatchEvents({});
    port_->SetSyncMethod(smWindowSync);
    TComErrors got;
    int fired = 0;
    port_->OnError = [&](QObject*, TComErrors errors) { got = errors, ++fired; };
    ASSERT_TRUE(port_->Open());
    const auto fireError = [&] {
        ui::SendMessage(port_->NotifyWindow(), WM_PORTEVENT, comm::EV_ERR, 0);
    };
    const struct {
        comm::DWORD flags;
        TComErrors errors;
    } table[] = {
        {comm::CE_FRAME, {ceFrame}},
        {comm::CE_RXPARITY, {}}, // no parity: dropped
        {comm::CE_OVERRUN, {ceOverrun}},
        {comm::CE_BREAK, {ceBreak}},
        {comm::CE_IOE, {ceIO}},
        {comm::CE_MODE, {ceMode}},
        {comm::CE_RXOVER, {ceRxOver}},
        {comm::CE_TXFULL, {ceTxFull}},
        {0x0020 | 0x0040 | 0x0200, {}}, // other flags are dropped
        {comm::CE_RXPARITY | comm::CE_FRAME, {ceFrame}},
    };
    for (auto row : table) {
        fired = 0;
        line_->InjectErrors(row.flags);
        fireError();
        EXPECT_EQ(fired, row.errors.Empty() ? 0 : 1) << row.flags;
        if (fired != 0) {
            EXPECT_EQ(got, row.errors) << row.flags;
        }
    }
    port_->SetParity(paEven);
    line_->InjectErrors(comm::CE_RXPARITY);
    fireError();
    EXPECT_EQ(got, TComErrors{ceRxParity});

    // The error step reads and clears the flags also without a handler.
    port_->OnError = nullptr;
    line_->InjectErrors(comm::CE_FRAME);
    fireError();
    comm::DWORD left = 1;
    ASSERT_TRUE(comm::ClearCommError(PortHandle(*port_), &left, nullptr));
    EXPECT_EQ(left, 0u);
}

TEST_F(Events, WriteWithoutHandlersMakesOneSynchronizeExchange) {
    ASSERT_TRUE(port_->Open());
    Settle(50ms);
    const auto before = ui::SynchronizeCalls();
    EXPECT_EQ(port_->WriteStr("f"), 1);
    EXPECT_TRUE(WaitUntil([&] { return ui::SynchronizeCalls() > before; }));
    Settle(100ms);
    EXPECT_EQ(ui::SynchronizeCalls(), before + 1);
}

TEST_F(Events, CloseWhileASynchronizeIsPendingCompletesItFirst) {
    for (int i = 0; i < 40; ++i) {
        bool ranConnected = false;
        int runs = 0;
        port_->OnDSRChange = [&](QObject*, bool) {
            ++runs;
            ranConnected = port_->Connected();
        };
        ASSERT_TRUE(port_->Open());
        HoldThreadInSynchronize();
        ASSERT_TRUE(port_->Close());
        EXPECT_EQ(runs, 1) << i;
        EXPECT_TRUE(ranConnected) << i;
        EXPECT_FALSE(port_->Connected());
    }
}

TEST_F(Events, CloseRacingWithEventsNeverHangs) {
    port_->OnRxChar = [](QObject*, int) {};
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        while (!stop) {
            line_->Inject("z");
            line_->TakeReceived();
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(port_->Open());
        if (i % 2 == 0) {
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(port_->Close());
    }
    stop = true;
    feeder.join();
}

TEST_F(Events, HandlerErrorEndsTheThreadWithThreadSyncAndNoSync) {
    for (TSyncMethod method : {smThreadSync, smNone}) {
        port_->SetSyncMethod(method);
        std::atomic<int> runs{0};
        port_->OnRxChar = [&](QObject*, int) {
            ++runs;
            throw EComPort("handler failed");
        };
        ASSERT_TRUE(port_->Open());
        line_->Inject("a");
        ASSERT_TRUE(WaitUntil([&] { return EventThread(*port_)->Finished(); })) << method;
        EXPECT_TRUE(EventThread(*port_)->FatalException() != nullptr);
        line_->TakeReceived();
        line_->Inject("b");
        Settle();
        EXPECT_EQ(runs, 1) << method; // no further events
        EXPECT_TRUE(port_->Connected());
        EXPECT_TRUE(port_->Close());
    }
}

TEST_F(Events, HandlerErrorWithWindowSyncGoesToTheErrorBoxAndTheThreadGoesOn) {
    ErrorBoxes::Clear();
    port_->SetSyncMethod(smWindowSync);
    std::atomic<int> runs{0};
    port_->OnRxChar = [&](QObject*, int) {
        ++runs;
        throw EComPort(ComMessageText(ComMessage::ClearCommError));
    };
    ASSERT_TRUE(port_->Open());
    line_->Inject("a");
    ASSERT_TRUE(WaitUntil([&] { return runs == 1; }));
    line_->Inject("b");
    ASSERT_TRUE(WaitUntil([&] { return runs == 2; }));
    EXPECT_FALSE(EventThread(*port_)->Finished());
    ASSERT_EQ(ErrorBoxes::Texts().size(), 2);
    EXPECT_EQ(ErrorBoxes::Texts()[0],
              QString::fromUtf8(ComMessageText(ComMessage::ClearCommError)) + ".");
    ErrorBoxes::Clear();
}

TEST_F(Events, NoSyncRunsHandlersOnTheEventThread) {
    port_->SetSyncMethod(smNone);
    std::atomic<bool> onUi{true};
    std::atomic<int> count{0};
    const auto ui = std::this_thread::get_id();
    port_->OnRxChar = [&](QObject*, int n) {
        onUi = std::this_thread::get_id() == ui;
        count = n;
    };
    ASSERT_TRUE(port_->Open());
    line_->Inject("abcd");
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (count == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms); // no event processing: nothing runs on this thread
    }
    EXPECT_EQ(count, 4);
    EXPECT_FALSE(onUi);
}

TEST_F(Events, WindowRouteSendsOneMessagePerEvent) {
    port_->SetSyncMethod(smWindowSync);
    port_->OnRLSDChange = [&](QObject*, bool state) { Record(state ? "cd1" : "cd0"); };
    port_->OnRing = [&](QObject*) { Record("ring"); };
    port_->OnRxChar = [&](QObject*, int count) { Record("rx" + std::to_string(count)); };
    port_->OnError = [&](QObject*, TComErrors) { Record("err"); };
    ASSERT_TRUE(port_->Open());
    ASSERT_NE(port_->NotifyWindow(), nullptr);
    line_->SetModemStatus(comm::MS_RLSD_ON | comm::MS_RING_ON);
    ASSERT_TRUE(WaitUntil([&] { return Calls().size() == 2; }));
    EXPECT_THAT(Calls(), ElementsAre("ring", "cd1"));

    // The window procedure by first parameter.
    port_->SetWatchEvents({});
    ASSERT_TRUE(port_->Close());
    ASSERT_TRUE(port_->Open()); // no events from the thread now
    port_->OnTxEmpty = [&](QObject*) { Record("tx"); };
    port_->OnCTSChange = [&](QObject*, bool) { Record("cts"); };
    port_->OnDSRChange = [&](QObject*, bool) { Record("dsr"); };
    port_->OnRx80Full = [&](QObject*) { Record("80"); };
    line_->Inject("xy");
    const struct {
        ui::WPARAM code;
        const char* call;
    } table[] = {{0x0001, "rx2"},   {0x0004, "tx"},   {0x0008, "cts"},  {0x0010, "dsr"},
                 {0x0020, "cd1"},   {0x0080, "err"},  {0x0100, "ring"}, {0x0400, "80"},
                 {0x0002, nullptr}, {0x0040, nullptr}};
    for (auto row : table) {
        calls_.clear();
        if (row.code == 0x0080) {
            line_->InjectErrors(comm::CE_FRAME); // reading the input count dropped earlier flags
        }
        EXPECT_EQ(ui::SendMessage(port_->NotifyWindow(), WM_PORTEVENT, row.code, 0), 0);
        if (row.call != nullptr) {
            EXPECT_THAT(Calls(), ElementsAre(row.call)) << row.code;
        } else {
            EXPECT_TRUE(Calls().empty()) << row.code;
        }
    }
    // Several events in one message are no event's value.
    calls_.clear();
    ui::SendMessage(port_->NotifyWindow(), WM_PORTEVENT, 0x0001 | 0x0004, 0);
    EXPECT_TRUE(Calls().empty());
    ui::TMessage other{WM_PORTEVENT + 1, 0x0001, 0, 7};
    TBComPortTestAccess::NotifyWindowProc(*port_, other);
    EXPECT_EQ(other.Result, 0);
    EXPECT_TRUE(Calls().empty());

    // After Connected has been cleared a message does nothing (and reads no device).
    ASSERT_TRUE(port_->Close());
    calls_.clear();
    ui::TMessage late{WM_PORTEVENT, 0x0001, 0, 0};
    EXPECT_NO_THROW(TBComPortTestAccess::NotifyWindowProc(*port_, late));
    EXPECT_TRUE(Calls().empty());
}

} // namespace

// The rules every backend shares: argument checks, the write deadline, the events of modem,
// error and receive changes, the event mask and wait; and that both backends follow them.
#include "platform/base/PseudoTerminal.h"
#include "platform/comm/Device.h"
#include "platform/comm/DeviceRules.h"
#include "platform/comm/SimulatedLine.h"
#include "tests/support/SerialPty.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace comm;
using namespace std::chrono_literals;
using testsupport::SerialPty;
using testsupport::TempDir;

namespace {

DCB Settings(DWORD rate, BYTE size, BYTE parity, BYTE stop) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = rate;
    dcb.Flags = DCB_fBinary | DCB_DTR_CONTROL_ENABLE | DCB_RTS_CONTROL_ENABLE;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    return dcb;
}

TEST(CommRulesTest, LineSettingsOutsideTheirRangesAreInvalid) {
    const struct {
        DWORD rate;
        BYTE size, parity, stop;
        DWORD expected;
    } table[] = {
        {9600, 8, NOPARITY, ONESTOPBIT, ERROR_SUCCESS},
        {1, 5, SPACEPARITY, TWOSTOPBITS, ERROR_SUCCESS},
        {MAXDWORD, 7, MARKPARITY, ONE5STOPBITS, ERROR_SUCCESS},
        {0, 8, NOPARITY, ONESTOPBIT, ERROR_INVALID_PARAMETER},
        {9600, 4, NOPARITY, ONESTOPBIT, ERROR_INVALID_PARAMETER},
        {9600, 9, NOPARITY, ONESTOPBIT, ERROR_INVALID_PARAMETER},
        {9600, 0, NOPARITY, ONESTOPBIT, ERROR_INVALID_PARAMETER},
        {9600, 8, SPACEPARITY + 1, ONESTOPBIT, ERROR_INVALID_PARAMETER},
        {9600, 8, NOPARITY, TWOSTOPBITS + 1, ERROR_INVALID_PARAMETER},
        {9600, 8, 0xFF, 0xFF, ERROR_INVALID_PARAMETER},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << row.rate << " " << int(row.size) << " "
                                        << int(row.parity) << " " << int(row.stop));
        EXPECT_EQ(CheckLineSettings(Settings(row.rate, row.size, row.parity, row.stop)),
                  row.expected);
    }
}

TEST(CommRulesTest, ControlLinesFollowTheirControlFieldsAndEscapeCodes) {
    DCB dcb = Settings(9600, 8, NOPARITY, ONESTOPBIT);
    EXPECT_TRUE(DtrRaised(dcb));
    EXPECT_TRUE(RtsRaised(dcb));
    dcb.Flags = DCB_fBinary | 0x0020 /* DTR handshake */ | DCB_RTS_CONTROL_HANDSHAKE;
    EXPECT_TRUE(DtrRaised(dcb));
    EXPECT_TRUE(RtsRaised(dcb));
    dcb.Flags = DCB_fBinary | DCB_fOutxCtsFlow | DCB_fOutX | DCB_fInX;
    EXPECT_FALSE(DtrRaised(dcb));
    EXPECT_FALSE(RtsRaised(dcb));

    const struct {
        DWORD function;
        ControlLineChange::Line line;
        bool raised;
    } known[] = {
        {SETDTR, ControlLineChange::Dtr, true},
        {CLRDTR, ControlLineChange::Dtr, false},
        {SETRTS, ControlLineChange::Rts, true},
        {CLRRTS, ControlLineChange::Rts, false},
    };
    for (const auto& row : known) {
        SCOPED_TRACE(row.function);
        const auto change = EscapeChange(row.function);
        ASSERT_TRUE(change.has_value());
        EXPECT_EQ(change->line, row.line);
        EXPECT_EQ(change->raised, row.raised);
    }
    for (DWORD unknown : {0u, 1u, 2u, 7u, 8u, 9u, 10u, MAXDWORD}) {
        EXPECT_FALSE(EscapeChange(unknown).has_value()) << unknown;
    }
}

TEST(CommRulesTest, PurgeTakesOnlyItsFourFlags) {
    for (DWORD flags : {0u, PURGE_TXABORT, PURGE_RXABORT, PURGE_TXCLEAR, PURGE_RXCLEAR, 0x000Fu}) {
        EXPECT_EQ(CheckPurgeFlags(flags), ERROR_SUCCESS) << flags;
    }
    for (DWORD flags : {0x0010u, 0x001Fu, 0x8000'0000u, MAXDWORD}) {
        EXPECT_EQ(CheckPurgeFlags(flags), ERROR_INVALID_PARAMETER) << flags;
    }
}

TEST(CommRulesTest, WriteDeadlineIsMultiplierTimesCountPlusConstant) {
    const Clock::time_point now = Clock::now();
    const struct {
        DWORD multiplier, constant, count;
        std::chrono::milliseconds expected;
    } table[] = {
        {0, 1, 1, 1ms},
        {1, 30, 10, 40ms},
        {5, 0, 3, 15ms},
        {0, MAXDWORD, 100, std::chrono::milliseconds(MAXDWORD)},
        {1000, 0, 1000, 1'000'000ms},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message()
                     << row.multiplier << " " << row.constant << " " << row.count);
        const COMMTIMEOUTS timeouts{0, 0, 0, row.multiplier, row.constant};
        const auto deadline = WriteDeadline(timeouts, row.count, now);
        ASSERT_TRUE(deadline.has_value());
        EXPECT_EQ(*deadline - now, row.expected);
    }
    // Both zero: no time-out; the read time-outs do not count.
    EXPECT_FALSE(WriteDeadline(COMMTIMEOUTS{MAXDWORD, 7, 7, 0, 0}, 100, now).has_value());
    EXPECT_FALSE(WriteDeadline(COMMTIMEOUTS{0, 0, 0, 9, 0}, 0, now).has_value());
}

TEST(CommRulesTest, WriteDeadlineBeyondTheClockWaitsAsLongAsItCan) {
    // (2^32 - 1) ms a byte for 3000 bytes is more than the clock's 292 years.
    const COMMTIMEOUTS huge{0, 0, 0, MAXDWORD, MAXDWORD};
    const Clock::time_point now = Clock::now();
    for (DWORD count : {3000u, MAXDWORD}) {
        const auto deadline = WriteDeadline(huge, count, now);
        ASSERT_TRUE(deadline.has_value());
        EXPECT_EQ(*deadline, Clock::time_point::max()) << count;
    }
    // Just below the limit the deadline is exact.
    const auto room =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now);
    const auto below = WriteDeadline(COMMTIMEOUTS{0, 0, 0, 0, MAXDWORD}, 1, now);
    ASSERT_GT(room.count(), std::int64_t{MAXDWORD});
    EXPECT_EQ(*below - now, std::chrono::milliseconds(MAXDWORD));
    // A start close to the clock's end saturates too.
    const auto late = Clock::time_point::max() - 10ms;
    EXPECT_EQ(WriteDeadline(COMMTIMEOUTS{0, 0, 0, 0, 20}, 1, late), Clock::time_point::max());
    EXPECT_EQ(*WriteDeadline(COMMTIMEOUTS{0, 0, 0, 0, 5}, 1, late), late + 5ms);
}

TEST(CommRulesTest, ABufferedWriteIsOnTheLineWhenTheQueueIsEmptyAndItsLineTimeHasPassed) {
    const Clock::time_point start{};
    const LineDrain drain(start, 50ms);
    const struct {
        DWORD outQueue;
        Clock::duration since;
        std::optional<Clock::duration> left;
    } table[] = {
        {0, 0ms, 50ms},  // taken at once: the UART still holds the bytes
        {0, 30ms, 20ms}, // the queue ran empty, the line is still busy
        {0, 50ms, std::nullopt},
        {0, 900ms, std::nullopt},
        {3, 10ms, 40ms},                // the queue's bytes follow within the line time
        {3, 49ms, LineDrain::kRecheck}, // ... or the queue is asked again shortly
        {3, 900ms, LineDrain::kRecheck},
    };
    for (const auto& row : table) {
        EXPECT_EQ(drain.Left(row.outQueue, start + row.since), row.left)
            << row.outQueue << " bytes queued after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(row.since).count() << " ms";
    }
}

TEST(CommRulesTest, ModemChangesGiveTheirEventsAndRingOnlyWhenItComesOn) {
    const struct {
        DWORD before, now, events;
    } table[] = {
        {0, 0, 0},
        {MS_CTS_ON, MS_CTS_ON, 0},
        {0, MS_CTS_ON, EV_CTS},
        {MS_CTS_ON, 0, EV_CTS},
        {0, MS_DSR_ON, EV_DSR},
        {MS_RLSD_ON, 0, EV_RLSD},
        {0, MS_RING_ON, EV_RING},
        {MS_RING_ON, 0, 0},
        {MS_CTS_ON | MS_RING_ON, MS_DSR_ON, EV_CTS | EV_DSR},
        {0, MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, EV_CTS | EV_DSR | EV_RING | EV_RLSD},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ModemEvents(row.before, row.now), row.events) << row.before << "->" << row.now;
    }
}

TEST(CommRulesTest, LineErrorsAndReceivedCharactersGiveTheirEvents) {
    EXPECT_EQ(LineErrorEvents(0), 0u);
    for (DWORD error : {CE_FRAME, CE_RXPARITY, CE_OVERRUN, CE_RXOVER}) {
        EXPECT_EQ(LineErrorEvents(error), EV_ERR) << error;
    }
    EXPECT_EQ(LineErrorEvents(CE_BREAK), EV_ERR | EV_BREAK);
    EXPECT_EQ(LineErrorEvents(CE_FRAME | CE_BREAK), EV_ERR | EV_BREAK);

    const struct {
        DWORD inQueue;
        std::size_t before, now;
        DWORD events;
    } table[] = {
        {100, 0, 0, 0},
        {100, 5, 5, 0},
        {100, 5, 3, 0}, // read out: nothing new
        {100, 0, 1, EV_RXCHAR},
        {100, 0, 79, EV_RXCHAR},
        {100, 79, 80, EV_RXCHAR | EV_RX80FULL},
        {100, 0, 200, EV_RXCHAR | EV_RX80FULL},
        {100, 80, 81, EV_RXCHAR},           // already past the mark
        {9, 6, 7, EV_RXCHAR | EV_RX80FULL}, // 80 % of 9 is 7
        {1, 0, 5, EV_RXCHAR},               // mark 0: never full
        {0, 0, 5, EV_RXCHAR},
        {MAXDWORD, 0, std::size_t{MAXDWORD}, EV_RXCHAR | EV_RX80FULL},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ReceiveEvents(row.inQueue, row.before, row.now), row.events)
            << row.inQueue << " " << row.before << "->" << row.now;
    }
}

TEST(CommRulesTest, EventMonitorRemembersEventsAndEndsWaits) {
    EventMonitor monitor;
    auto first = std::make_shared<Completion>(nullptr);
    EXPECT_EQ(monitor.StartWait(first), ERROR_INVALID_PARAMETER); // no mask
    monitor.SetMask(EV_RXCHAR | EV_ERR);
    EXPECT_EQ(monitor.Mask(), EV_RXCHAR | EV_ERR);

    monitor.Post(EV_CTS); // outside the mask: dropped
    monitor.Post(EV_ERR);
    monitor.Post(EV_RXCHAR | EV_DSR);
    ASSERT_EQ(monitor.StartWait(first), ERROR_SUCCESS);
    ASSERT_TRUE(first->Done());
    EXPECT_EQ(first->EventMask(), EV_RXCHAR | EV_ERR);

    auto second = std::make_shared<Completion>(nullptr);
    ASSERT_EQ(monitor.StartWait(second), ERROR_SUCCESS);
    EXPECT_FALSE(second->Done());
    EXPECT_EQ(monitor.StartWait(std::make_shared<Completion>(nullptr)), ERROR_INVALID_PARAMETER);
    monitor.Post(EV_TXEMPTY);
    EXPECT_FALSE(second->Done());
    monitor.Post(EV_RXCHAR);
    ASSERT_TRUE(second->Done());
    EXPECT_EQ(second->EventMask(), EV_RXCHAR);

    // Another mask ends a pending wait with no events and forgets the others' events.
    monitor.Post(EV_RXCHAR | EV_ERR);
    monitor.SetMask(EV_ERR);
    auto third = std::make_shared<Completion>(nullptr);
    ASSERT_EQ(monitor.StartWait(third), ERROR_SUCCESS);
    EXPECT_EQ(third->EventMask(), EV_ERR);
    auto fourth = std::make_shared<Completion>(nullptr);
    ASSERT_EQ(monitor.StartWait(fourth), ERROR_SUCCESS);
    monitor.SetMask(EV_ERR);
    ASSERT_TRUE(fourth->Done());
    EXPECT_EQ(fourth->Error(), ERROR_SUCCESS);
    EXPECT_EQ(fourth->EventMask(), 0u);

    // A failure ends the wait with the error and drops what was remembered.
    auto fifth = std::make_shared<Completion>(nullptr);
    ASSERT_EQ(monitor.StartWait(fifth), ERROR_SUCCESS);
    monitor.Fail(ERROR_DEVICE_REMOVED);
    EXPECT_EQ(fifth->Error(), ERROR_DEVICE_REMOVED);
    monitor.Post(EV_ERR);
    monitor.Fail(ERROR_OPERATION_ABORTED);
    auto sixth = std::make_shared<Completion>(nullptr);
    ASSERT_EQ(monitor.StartWait(sixth), ERROR_SUCCESS);
    EXPECT_FALSE(sixth->Done());
}

TEST(CommRulesTest, PseudoTerminalsAreToldFromOtherNodes) {
    SerialPty pty("ttyV0");
    TempDir dir;
    const std::string file = dir.WriteFile("plain", "x");
    const std::string link = dir.Link("link", pty.SlavePath());
    EXPECT_TRUE(base::IsPseudoTerminal(pty.SlavePath()));
    EXPECT_TRUE(base::IsPseudoTerminal(link)); // links are followed
    EXPECT_TRUE(base::IsPseudoTerminal(pty.LinkPath()));
    EXPECT_FALSE(base::IsPseudoTerminal(std::string("/dev/null"))); // a character device
    EXPECT_FALSE(base::IsPseudoTerminal(std::string("/dev/ptmx"))); // the multiplexer
    EXPECT_FALSE(base::IsPseudoTerminal(file));
    EXPECT_FALSE(base::IsPseudoTerminal(dir.Path()));
    EXPECT_FALSE(base::IsPseudoTerminal(dir.Path() + "/missing"));

    const int slave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_TRUE(base::IsPseudoTerminal(slave));
    close(slave);
    const int null = open("/dev/null", O_RDWR);
    EXPECT_FALSE(base::IsPseudoTerminal(null));
    close(null);
    EXPECT_FALSE(base::IsPseudoTerminal(-1));
}

// Both backends reject the same arguments with the same code, through the same rules.
class CommBackendRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        line_ = SimulatedLine::Plug("SIM0"); // under pty_'s directory
    }
    static HANDLE Open(const std::string& name) {
        return CreateFileA(DevicePath(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, 0);
    }
    SerialPty pty_{"ttyV0"};
    std::shared_ptr<SimulatedLine> line_;
};

TEST_F(CommBackendRulesTest, InvalidArgumentsFailAlikeOnBothBackends) {
    for (const char* name : {"ttyV0", "SIM0"}) {
        SCOPED_TRACE(name);
        const HANDLE port = Open(name);
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        DCB good = Settings(9600, 8, NOPARITY, ONESTOPBIT);
        EXPECT_TRUE(SetCommState(port, &good));
        for (const DCB& bad : {Settings(0, 8, 0, 0), Settings(9600, 9, 0, 0),
                               Settings(9600, 8, 5, 0), Settings(9600, 8, 0, 3)}) {
            EXPECT_FALSE(SetCommState(port, &bad));
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        }
        EXPECT_FALSE(PurgeComm(port, 0x10));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_TRUE(PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR));
        for (DWORD unknown : {0u, 8u, 9u, 42u}) {
            EXPECT_FALSE(EscapeCommFunction(port, unknown)) << unknown;
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        }
        EXPECT_TRUE(EscapeCommFunction(port, CLRDTR));
        EXPECT_TRUE(CloseHandle(port));
    }
    // The simulated line shows what the escape codes and the settings did to the lines.
    const HANDLE port = Open("SIM0");
    DCB dcb = Settings(9600, 8, NOPARITY, ONESTOPBIT);
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_TRUE(line_->Dtr());
    EXPECT_TRUE(line_->Rts());
    ASSERT_TRUE(EscapeCommFunction(port, CLRRTS));
    EXPECT_TRUE(line_->Dtr());
    EXPECT_FALSE(line_->Rts());
    ASSERT_TRUE(EscapeCommFunction(port, CLRDTR));
    ASSERT_TRUE(EscapeCommFunction(port, SETRTS));
    EXPECT_FALSE(line_->Dtr());
    EXPECT_TRUE(line_->Rts());
    CloseHandle(port);
}

TEST_F(CommBackendRulesTest, AWriteTimeOutBeyondTheClockLetsTheWholeWriteThrough) {
    const HANDLE port = Open("SIM0");
    DCB dcb = Settings(921600, 8, NOPARITY, ONESTOPBIT); // about 11 us a character
    ASSERT_TRUE(SetCommState(port, &dcb));
    const COMMTIMEOUTS huge{0, 0, 0, MAXDWORD, MAXDWORD};
    ASSERT_TRUE(SetCommTimeouts(port, &huge));
    const std::string bytes(3000, 'x');
    OVERLAPPED write;
    write.hEvent = CreateEventA(nullptr, true, true, nullptr);
    EXPECT_FALSE(WriteFile(port, bytes.data(), DWORD(bytes.size()), nullptr, &write));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    DWORD sent = 0;
    ASSERT_TRUE(GetOverlappedResult(port, &write, &sent, true));
    EXPECT_EQ(sent, bytes.size());
    EXPECT_EQ(line_->SentText(), bytes);
    CloseHandle(write.hEvent);
    CloseHandle(port);
}

} // namespace

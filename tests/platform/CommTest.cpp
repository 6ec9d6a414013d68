// The comm calls over both backends: open codes, line settings read back, overlapped writes,
// event waits, error flags and modem status.
#include "platform/comm/Comm.h"
#include "platform/comm/SimulatedLine.h"
#include "tests/support/SerialPty.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace comm;
using namespace std::chrono_literals;
using testsupport::SerialPty;
using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

namespace {

HANDLE Open(const std::string& name) {
    return CreateFileA(DevicePath(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, 0);
}

DCB LineSettings(DWORD rate, BYTE size = 8, BYTE parity = NOPARITY, BYTE stop = ONESTOPBIT) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = rate;
    dcb.Flags = 0x1011;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    return dcb;
}

// Closes a handle at the end of a scope.
struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
};

TEST(CommOpenTest, ErrorCodesOfThePosixBackend) {
    SerialPty pty("ttyV0");
    TempDir other;
    other.MakeDir("adir");
    other.WriteFile("plain", "x");
    SetDeviceDirectory(other.Path());
    EXPECT_EQ(Open("missing"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("plain/x"), INVALID_HANDLE_VALUE); // ENOTDIR
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(""), INVALID_HANDLE_VALUE); // the directory itself
    EXPECT_NE(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(GetLastError(), ERROR_ACCESS_DENIED);
    {
        // Not a terminal: opens, but no serial call succeeds.
        Handle plain{Open("plain")};
        ASSERT_NE(plain.h, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(SetupComm(plain.h, 64, 64));
    }
    SetDeviceDirectory(pty.Directory());

    int holder = open(pty.LinkPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(Open("ttyV0"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    close(holder);

    Handle port{Open("ttyV0")};
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("ttyV0"), INVALID_HANDLE_VALUE); // one open at a time
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    EXPECT_FALSE(SetupComm(INVALID_HANDLE_VALUE, 1, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(CommPtyTest, LineSettingsAreAppliedAndReadBack) {
    SerialPty pty("ttyV0");
    Handle port{Open("ttyV0")};
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetupComm(port.h, 256, 256));
    for (DWORD rate : {110u, 300u, 1200u, 14400u, 56000u, 115200u, 128000u, 256000u}) {
        DCB dcb = LineSettings(rate, 8, EVENPARITY, TWOSTOPBITS);
        ASSERT_TRUE(SetCommState(port.h, &dcb)) << rate;
        EXPECT_EQ(pty.Rate(), rate);
        EXPECT_NE(pty.MasterSettings().c_cflag & CSTOPB, 0u);
    }
    // A pty has no line: data bits and parity are not compared.
    DCB seven = LineSettings(9600, 7, ODDPARITY, ONESTOPBIT);
    EXPECT_TRUE(SetCommState(port.h, &seven));
    EXPECT_EQ(pty.MasterSettings().c_cflag & CSTOPB, 0u);
    DCB bad = LineSettings(9600, 9);
    EXPECT_FALSE(SetCommState(port.h, &bad));
    DCB zero = LineSettings(0);
    EXPECT_FALSE(SetCommState(port.h, &zero));

    // No modem lines: DTR/RTS are no-ops and all signals read off.
    for (DWORD f : {SETDTR, CLRDTR, SETRTS, CLRRTS}) {
        EXPECT_TRUE(EscapeCommFunction(port.h, f)) << f;
    }
    DWORD status = 0xFF;
    EXPECT_TRUE(GetCommModemStatus(port.h, &status));
    EXPECT_EQ(status, 0u);
}

TEST(CommPtyTest, WritesCompleteAtOnceAndEventsFollowTheLine) {
    SerialPty pty("ttyV0");
    Handle port{Open("ttyV0")};
    DCB dcb = LineSettings(9600);
    ASSERT_TRUE(SetCommState(port.h, &dcb));
    ASSERT_TRUE(SetCommMask(port.h, EV_RXCHAR | EV_TXEMPTY));

    OVERLAPPED wait;
    wait.hEvent = CreateEventA(nullptr, true, false, nullptr);
    DWORD mask = 0;
    // The wait record is filled by the write's end already (TXEMPTY), or goes on.
    OVERLAPPED write;
    write.hEvent = CreateEventA(nullptr, true, true, nullptr);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(port.h, "hello", 5, &written, &write));
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(pty.Read(5), "hello");
    WaitCommEvent(port.h, &mask, &wait);
    ASSERT_EQ(WaitForSingleObject(wait.hEvent, 2000), WAIT_OBJECT_0);
    DWORD ignored = 0;
    ASSERT_TRUE(GetOverlappedResult(port.h, &wait, &ignored, false));
    EXPECT_EQ(mask, EV_TXEMPTY);

    // Received data ends a pending wait.
    EXPECT_FALSE(WaitCommEvent(port.h, &mask, &wait));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(GetOverlappedResult(port.h, &wait, &ignored, false));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    pty.Write("abc");
    ASSERT_EQ(WaitForSingleObject(wait.hEvent, 2000), WAIT_OBJECT_0);
    ASSERT_TRUE(GetOverlappedResult(port.h, &wait, &ignored, false));
    EXPECT_EQ(mask, EV_RXCHAR);
    DWORD errors = 1;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port.h, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 3u);
    EXPECT_TRUE(PurgeComm(port.h, PURGE_RXCLEAR));
    ASSERT_TRUE(ClearCommError(port.h, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);

    // Clearing the mask ends a pending wait at once, with no events.
    mask = 99;
    WaitCommEvent(port.h, &mask, &wait);
    const auto start = Clock::now();
    ASSERT_TRUE(SetCommMask(port.h, 0));
    ASSERT_EQ(WaitForSingleObject(wait.hEvent, 2000), WAIT_OBJECT_0);
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_TRUE(GetOverlappedResult(port.h, &wait, &ignored, false));
    EXPECT_EQ(mask, 0u);
    CloseHandle(wait.hEvent);
    CloseHandle(write.hEvent);
}

TEST(CommPtyTest, OtherSideGoneFailsPendingAndFurtherCalls) {
    SerialPty pty("ttyV0");
    Handle port{Open("ttyV0")};
    DCB dcb = LineSettings(9600);
    ASSERT_TRUE(SetCommState(port.h, &dcb));
    ASSERT_TRUE(SetCommMask(port.h, EV_RXCHAR));
    OVERLAPPED wait;
    wait.hEvent = CreateEventA(nullptr, true, false, nullptr);
    DWORD mask = 0, ignored = 0;
    WaitCommEvent(port.h, &mask, &wait);
    pty.CloseMaster();
    ASSERT_EQ(WaitForSingleObject(wait.hEvent, 2000), WAIT_OBJECT_0);
    EXPECT_FALSE(GetOverlappedResult(port.h, &wait, &ignored, false));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
    EXPECT_FALSE(EscapeCommFunction(port.h, CLRDTR));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
    OVERLAPPED write;
    write.hEvent = CreateEventA(nullptr, true, true, nullptr);
    EXPECT_FALSE(WriteFile(port.h, "x", 1, nullptr, &write));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
    CloseHandle(wait.hEvent);
    CloseHandle(write.hEvent);
}

class CommSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = DeviceDirectory();
        SetDeviceDirectory(dir_.Path());
        line_ = SimulatedLine::Plug("SIM0");
    }
    void TearDown() override {
        line_.reset();
        SetDeviceDirectory(previous_);
    }
    TempDir dir_;
    std::string previous_;
    std::shared_ptr<SimulatedLine> line_;
};

TEST_F(CommSimTest, CharacterTimeCountsStartDataParityAndStopBits) {
    Handle port{Open("SIM0")};
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    const struct {
        DWORD rate;
        BYTE size, parity, stop;
        std::chrono::nanoseconds time;
    } table[] = {
        {1200, 8, EVENPARITY, TWOSTOPBITS, 10ms},     // 12 bits
        {9600, 8, NOPARITY, ONESTOPBIT, 1041666ns},   // 10 bits
        {300, 5, NOPARITY, ONE5STOPBITS, 25ms},       // 7.5 bits
        {110, 7, MARKPARITY, ONESTOPBIT, 90909090ns}, // 10 bits
    };
    for (auto row : table) {
        DCB dcb = LineSettings(row.rate, row.size, row.parity, row.stop);
        ASSERT_TRUE(SetCommState(port.h, &dcb));
        EXPECT_EQ(line_->CharacterTime(), row.time) << row.rate;
    }
}

TEST_F(CommSimTest, WriteTimeOutReportsTheCharactersSent) {
    Handle port{Open("SIM0")};
    DCB dcb = LineSettings(1200, 8, EVENPARITY, TWOSTOPBITS); // 10 ms a character
    ASSERT_TRUE(SetCommState(port.h, &dcb));
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 1, 30}; // 1 ms a byte + 30 ms
    ASSERT_TRUE(SetCommTimeouts(port.h, &t));
    OVERLAPPED write;
    write.hEvent = CreateEventA(nullptr, true, true, nullptr);
    const auto start = Clock::now();
    EXPECT_FALSE(WriteFile(port.h, "0123456789", 10, nullptr, &write));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    DWORD sent = 0;
    ASSERT_TRUE(GetOverlappedResult(port.h, &write, &sent, true));
    EXPECT_EQ(sent, 4u); // 40 ms allowed
    EXPECT_GE(Clock::now() - start, 40ms);
    EXPECT_EQ(line_->SentText(), "0123");
    CloseHandle(write.hEvent);
}

TEST_F(CommSimTest, EventsBeforeAWaitEndTheNextWaitAtOnce) {
    Handle port{Open("SIM0")};
    ASSERT_TRUE(SetCommMask(port.h, EV_RXCHAR | EV_ERR));
    line_->Inject("a");
    line_->InjectErrors(CE_FRAME);
    line_->SetModemStatus(MS_CTS_ON); // not in the mask
    OVERLAPPED wait;
    wait.hEvent = CreateEventA(nullptr, true, false, nullptr);
    DWORD mask = 0;
    EXPECT_TRUE(WaitCommEvent(port.h, &mask, &wait));
    EXPECT_EQ(mask, EV_RXCHAR | EV_ERR);
    DWORD errors = 0;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port.h, &errors, &stat));
    EXPECT_EQ(errors, CE_FRAME);
    EXPECT_EQ(stat.cbInQue, 1u);
    CloseHandle(wait.hEvent);
}

TEST_F(CommSimTest, RefusedOpenVanishAndStaleHandles) {
    line_->Refuse(scOpen);
    EXPECT_EQ(Open("SIM0"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    line_->Refuse(0);
    HANDLE first = Open("SIM0");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_FALSE(PurgeComm(first, PURGE_TXABORT));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    Handle second{Open("SIM0")};
    line_->Vanish();
    EXPECT_FALSE(PurgeComm(second.h, PURGE_TXABORT));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
    EXPECT_EQ(Open("SIM0"), INVALID_HANDLE_VALUE);
}

TEST(CommEventTest, WaitsOnSeveralEvents) {
    HANDLE manual = CreateEventA(nullptr, true, false, nullptr);
    HANDLE automatic = CreateEventA(nullptr, false, false, nullptr);
    const HANDLE both[2] = {manual, automatic};
    EXPECT_EQ(WaitForMultipleObjects(2, both, false, 10), WAIT_TIMEOUT);
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        SetEvent(automatic);
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, false, INFINITE), WAIT_OBJECT_0 + 1);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT); // auto-reset
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0); // stays set
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    CloseHandle(manual);
    CloseHandle(automatic);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
}

} // namespace

// The serial component on pseudo-terminals standing in for real ports: what the driver side
// sees of the settings and the bytes, a port another descriptor holds, and the far end going
// away.
#include "serial/BCPort.h"
#include "tests/support/SerialFixtures.h"
#include "tests/support/SerialPty.h"

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

TEST(PortOnPty, OpenConfiguresTheSlaveAsTheMasterSees) {
    SerialPty pty("ttyV0");
    TBComPort port;
    port.SetPort("ttyV0");
    port.SetStopBits(sb2);
    port.SetBaudRate(br1200);
    ASSERT_TRUE(port.Open());
    termios t = pty.MasterSettings();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B1200));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    // A rate change on the open port is seen at once, without reopening.
    port.SetBaudRate(br2400);
    t = pty.MasterSettings();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B2400));
    port.SetStopBits(sb1);
    EXPECT_EQ(pty.MasterSettings().c_cflag & CSTOPB, 0u);
    EXPECT_TRUE(port.Close()); // DTR and RTS are no-ops on a pty
}

TEST(PortOnPty, EveryRateOfTheTableReachesTheDevice) {
    SerialPty pty("ttyV1");
    TBComPort port;
    port.SetPort("ttyV1");
    ASSERT_TRUE(port.Open());
    for (int b = br110; b <= br256000; ++b) {
        port.SetBaudRate(TBaudRate(b));
        EXPECT_EQ(pty.Rate(), ComBaudRates[b]) << b;
    }
}

TEST(PortOnPty, PortLockedByAnotherDescriptorIsBusy) {
    SerialPty pty("ttyV2");
    int other = open(pty.LinkPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    TBComPort port;
    port.SetPort("ttyV2");
    EXPECT_COM_ERROR(port.Open(), ComMessage::PortBusy);
    EXPECT_FALSE(port.Connected());
    close(other);
    EXPECT_TRUE(port.Open());

    // And the open port keeps others out.
    TBComPort second;
    second.SetPort("ttyV2");
    EXPECT_COM_ERROR(second.Open(), ComMessage::PortBusy);
}

TEST(PortOnPty, MissingNameAndMasterGoneAway) {
    SerialPty pty("ttyV3");
    TBComPort port;
    port.SetPort("ttyV9");
    EXPECT_COM_ERROR(port.Open(), ComMessage::NoSuchPort);
    port.SetPort("ttyV3");
    ASSERT_TRUE(port.Open());
    pty.CloseMaster();
    EXPECT_COM_ERROR(port.WriteStr("fff"), ComMessage::WriteError);
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.Connected());
}

TEST(TransferOnPty, BytesReachingTheMasterAreExactlyTheString) {
    SerialPty pty("ttyV0");
    TBComPort port;
    port.SetPort("ttyV0");
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.WriteStr("fffff|f"), 7);
    EXPECT_EQ(pty.Read(7), "fffff|f");
    // Text goes out in Windows-1251.
    EXPECT_EQ(port.WriteStr(QString::fromUtf8("Пуск ё€")), 7);
    EXPECT_EQ(pty.Read(7), "\xCF\xF3\xF1\xEA\x20\xB8\x88");
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(char(i));
    }
    EXPECT_EQ(port.WriteStr(all), 256);
    EXPECT_EQ(pty.Read(256), all);
    EXPECT_EQ(pty.ReadAll(20ms), "");
}

TEST(TransferOnPty, InputCountSeesWhatTheMasterWrote) {
    SerialPty pty("ttyV0");
    TBComPort port;
    port.SetPort("ttyV0");
    ASSERT_TRUE(port.Open());
    pty.Write("hello");
    EXPECT_TRUE(WaitUntil([&] { return port.InputCount() == 5; }));
    EXPECT_EQ(port.LineSignals(), TLineSignals{}); // no modem lines on a pty
}

TEST(EventsOnPty, BytesFromTheMasterFireOnRxCharOnTheUiThread) {
    SerialPty pty("ttyV0");
    TBComPort port;
    port.SetPort("ttyV0");
    std::atomic<int> total{0};
    bool onUi = true;
    const auto ui = std::this_thread::get_id();
    port.OnRxChar = [&](QObject*, int count) {
        onUi = onUi && std::this_thread::get_id() == ui;
        total = count;
    };
    ASSERT_TRUE(port.Open());
    pty.Write("ping");
    ASSERT_TRUE(WaitUntil([&] { return total == 4; }));
    EXPECT_TRUE(onUi);
    pty.Write("!");
    ASSERT_TRUE(WaitUntil([&] { return total == 5; })); // unread bytes stay counted
    EXPECT_TRUE(port.Close());
}

TEST(EventsOnPty, MasterGoneAwayWhileOpenStillCloses) {
    SerialPty pty("ttyV0");
    TBComPort port;
    port.SetPort("ttyV0");
    ASSERT_TRUE(port.Open());
    pty.CloseMaster();
    WaitUntil([] { return false; }, 50ms);
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(PortHandle(port), comm::INVALID_HANDLE_VALUE);
}

} // namespace

#include "tests/support/SerialFixtures.h"
#include "tests/support/SerialPty.h"

namespace {

TEST(PortReopen, SamePseudoTerminalOpensAgainAfterClose) {
    testsupport::SerialPty pty("ttyV0");
    TBComPort port;
    port.SetPort(QStringLiteral("ttyV0"));
    port.SetParity(paEven);
    port.SetStopBits(sb2);
    port.SetBaudRate(br1200);
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(port.Open());
        EXPECT_EQ(pty.Rate(), 1200u);
        EXPECT_EQ(port.WriteStr("fffff"), 5);
        EXPECT_EQ(pty.Read(5), "fffff");
        ASSERT_TRUE(port.Close());
    }
}

} // namespace

namespace {

TEST(PortRate, OrdinalBeyondTheRateTableIsRefusedOnTheOpenPort) {
    testsupport::SerialPty pty("ttyV0");
    TBComPort port;
    port.SetPort(QStringLiteral("ttyV0"));
    port.SetBaudRate(static_cast<TBaudRate>(-1)); // a list with no selection passes -1
    EXPECT_COM_ERROR(port.Open(), ComMessage::SetCommState);
    EXPECT_FALSE(port.Connected());
    port.SetBaudRate(br2400);
    ASSERT_TRUE(port.Open());
    EXPECT_COM_ERROR(port.SetBaudRate(static_cast<TBaudRate>(15)), ComMessage::SetCommState);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(pty.Rate(), 2400u); // the device keeps what it had
}

} // namespace

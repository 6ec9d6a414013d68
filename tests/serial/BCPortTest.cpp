// The port object: open, close, settings and their rules, against the simulated line.
#include "serial/BCPort.h"
#include "platform/comm/Device.h"
#include "serial/ComThread.h"
#include "tests/support/SerialFixtures.h"

using namespace testsupport;
using comm::DWORD;

namespace {

TEST(ComMessageTest, EachNameGivesItsNumberAndText) {
    const struct {
        ComMessage message;
        int number;
        const char* text;
    } table[] = {
        {ComMessage::NoSuchPort, 1, "Попытка открыть несуществующий COM-порт"},
        {ComMessage::PortBusy, 2, "Порт занят другой программой"},
        {ComMessage::WriteError, 3, "Ошибка записи в порт"},
        {ComMessage::ReadError, 4, "Ошибка чтения из порта"},
        {ComMessage::InvalidAsync, 5, "Недопустимый параметр Async"},
        {ComMessage::PurgeComm, 6, "Ошибка функции PurgeComm"},
        {ComMessage::SetCommState, 7, "Ошибка функции SetCommState"},
        {ComMessage::SetCommTimeouts, 8, "Ошибка функции SetCommTimeouts"},
        {ComMessage::SetupComm, 9, "Ошибка функции SetupComm"},
        {ComMessage::ClearCommError, 10, "Ошибка функции ClearCommError"},
        {ComMessage::GetCommModemStatus, 11, "Ошибка функции GetCommModemStatus"},
        {ComMessage::EscapeCommFunction, 12, "Ошибка функции EscapeCommFunction"},
        {ComMessage::PropertyWhileOpen, 13, "Нельзя менять свойство, пока порт открыт"},
        {ComMessage::RegistryError, 14, "Ошибка обращения к системному реестру"},
    };
    for (auto row : table) {
        EXPECT_EQ(int(row.message), row.number);
        EXPECT_STREQ(ComMessageText(row.message), row.text) << row.number;
    }
}

class PortOnLine : public SimulatedLineTest {};

TEST_F(PortOnLine, DefaultsOfAFreshPort) {
    TBComPort port;
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.ByteSize(), bs8);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.EventThreadPriority(), ui::tpNormal);
    EXPECT_EQ(port.WatchEvents(), AllWatchEvents);
    EXPECT_EQ(EventThread(port), nullptr);
    EXPECT_EQ(PortHandle(port), comm::INVALID_HANDLE_VALUE);
    EXPECT_EQ(port.InBufSize(), 2048);
    EXPECT_EQ(port.OutBufSize(), 2048);
    EXPECT_EQ(port.Parity(), paNone);
    EXPECT_EQ(port.Port(), "COM2");
    EXPECT_EQ(port.StopBits(), sb1);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.NotifyWindow(), nullptr);
    const TComTimeouts& t = port.Timeouts();
    EXPECT_EQ(t.ReadInterval(), -1);
    EXPECT_EQ(t.ReadTotalMultiplier(), 0);
    EXPECT_EQ(t.ReadTotalConstant(), 0);
    EXPECT_EQ(t.WriteTotalMultiplier(), 100);
    EXPECT_EQ(t.WriteTotalConstant(), 1000);
}

TEST_F(PortOnLine, OpenAppliesTheWholeConfigurationAndCloseReleasesIt) {
    port_->SetParity(paEven);
    port_->SetStopBits(sb2);
    port_->SetInBufSize(256);
    port_->SetOutBufSize(256);
    port_->SetBaudRate(br1200);
    ASSERT_TRUE(port_->Open());
    EXPECT_TRUE(port_->Connected());
    EXPECT_NE(PortHandle(*port_), comm::INVALID_HANDLE_VALUE);
    EXPECT_NE(EventThread(*port_), nullptr);
    EXPECT_EQ(port_->NotifyWindow(), nullptr); // thread sync has no window

    const comm::DCB dcb = line_->State();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 1200u);
    EXPECT_EQ(dcb.Flags, 0x1013u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, comm::EVENPARITY);
    EXPECT_EQ(dcb.StopBits, comm::TWOSTOPBITS);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.XonLim, 0);
    EXPECT_EQ(dcb.XoffLim, 0);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(line_->InQueue(), 256u);
    EXPECT_EQ(line_->OutQueue(), 256u);
    const comm::COMMTIMEOUTS t = line_->Timeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
    EXPECT_TRUE(line_->Dtr());
    EXPECT_TRUE(line_->Rts());
    EXPECT_EQ(line_->Mask(), 0x05BDu);

    ASSERT_TRUE(port_->Close());
    EXPECT_FALSE(port_->Connected());
    EXPECT_EQ(PortHandle(*port_), comm::INVALID_HANDLE_VALUE);
    EXPECT_EQ(EventThread(*port_), nullptr);
    EXPECT_FALSE(line_->IsOpen());
    EXPECT_FALSE(line_->Dtr());
    EXPECT_FALSE(line_->Rts());
    // Close aborts transfers, then the thread's exit clears both queues.
    EXPECT_THAT(line_->Purges(), ::testing::ElementsAre(0x0003u, 0x000Cu));
}

TEST_F(PortOnLine, FlagsWordFollowsParity) {
    const struct {
        TParity parity;
        DWORD flags;
    } cases[] = {
        {paNone, 0x1011}, {paOdd, 0x1013}, {paEven, 0x1013}, {paMark, 0x1013}, {paSpace, 0x1013}};
    ASSERT_TRUE(port_->Open());
    for (auto c : cases) {
        port_->SetParity(c.parity);
        EXPECT_EQ(line_->State().Flags, c.flags) << int(c.parity);
        EXPECT_EQ(line_->State().Parity, c.parity);
    }
}

TEST_F(PortOnLine, RepeatedOpenCloseCyclesGiveNewHandlesAndThreads) {
    port_->SetSyncMethod(smWindowSync);
    comm::HANDLE previous = comm::INVALID_HANDLE_VALUE;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(port_->Open());
        EXPECT_NE(PortHandle(*port_), previous);
        EXPECT_NE(port_->NotifyWindow(), nullptr);
        previous = PortHandle(*port_);
        ASSERT_TRUE(port_->Close());
        EXPECT_EQ(port_->NotifyWindow(), nullptr);
    }
    EXPECT_EQ(line_->Opens(), 5);
}

TEST_F(PortOnLine, OpenOnAnOpenPortAndCloseOnAClosedOneChangeNothing) {
    EXPECT_TRUE(port_->Close());
    EXPECT_TRUE(line_->Purges().empty());
    ASSERT_TRUE(port_->Open());
    const comm::HANDLE handle = PortHandle(*port_);
    TComThread* thread = EventThread(*port_);
    line_->Refuse(comm::scSetCommState | comm::scSetupComm | comm::scSetCommTimeouts);
    EXPECT_TRUE(port_->Open()); // nothing is re-applied, so the refusal is never met
    EXPECT_EQ(PortHandle(*port_), handle);
    EXPECT_EQ(EventThread(*port_), thread);
    EXPECT_EQ(line_->Opens(), 1);
}

TEST_F(PortOnLine, OpenFailuresReportTheirMessageAndLeaveThePortClosed) {
    // Missing device.
    port_->SetPort("ttyNONE");
    EXPECT_COM_ERROR(port_->Open(), ComMessage::NoSuchPort);
    EXPECT_FALSE(port_->Connected());
    EXPECT_EQ(PortHandle(*port_), comm::INVALID_HANDLE_VALUE);

    // Held by another handle.
    port_->SetPort("SIM0");
    const comm::HANDLE other = comm::CreateFileA(comm::DevicePath("SIM0"), 0, 0, nullptr, 0, 0, 0);
    ASSERT_NE(other, comm::INVALID_HANDLE_VALUE);
    EXPECT_COM_ERROR(port_->Open(), ComMessage::PortBusy);
    EXPECT_FALSE(port_->Connected());
    comm::CloseHandle(other);

    // The empty name opens the system's device directory itself ("\\.\" alone, "/dev/"): any
    // other code than 2 or 5, so SetupComm fails.
    comm::SetDeviceDirectory(comm::SystemDeviceDirectory());
    port_->SetPort("");
    EXPECT_COM_ERROR(port_->Open(), ComMessage::SetupComm);
    EXPECT_FALSE(port_->Connected());
    EXPECT_EQ(PortHandle(*port_), comm::INVALID_HANDLE_VALUE);
    EXPECT_EQ(EventThread(*port_), nullptr);
}

TEST_F(PortOnLine, RefusedSettingStepClosesThePortWithItsMessage) {
    const struct {
        DWORD call;
        ComMessage message;
    } cases[] = {{comm::scSetupComm, ComMessage::SetupComm},
                 {comm::scSetCommState, ComMessage::SetCommState},
                 {comm::scSetCommTimeouts, ComMessage::SetCommTimeouts}};
    for (auto c : cases) {
        line_->Refuse(c.call);
        EXPECT_COM_ERROR(port_->Open(), c.message);
        EXPECT_FALSE(port_->Connected());
        EXPECT_EQ(PortHandle(*port_), comm::INVALID_HANDLE_VALUE);
        EXPECT_FALSE(line_->IsOpen());
    }
    line_->Refuse(0);
    EXPECT_TRUE(port_->Open());
}

TEST_F(PortOnLine, PortAndSyncMethodCannotChangeWhileOpen) {
    ASSERT_TRUE(port_->Open());
    EXPECT_COM_ERROR(port_->SetPort("SIM0"), ComMessage::PropertyWhileOpen); // also the same name
    EXPECT_COM_ERROR(port_->SetPort("SIM1"), ComMessage::PropertyWhileOpen);
    EXPECT_EQ(port_->Port(), "SIM0");
    EXPECT_NO_THROW(port_->SetSyncMethod(smThreadSync)); // the current value is accepted
    EXPECT_COM_ERROR(port_->SetSyncMethod(smNone), ComMessage::PropertyWhileOpen);
    EXPECT_EQ(port_->SyncMethod(), smThreadSync);
    ASSERT_TRUE(port_->Close());
    port_->SetSyncMethod(smNone);
    port_->SetPort("sim0"); // names compare case-sensitively
    EXPECT_EQ(port_->Port(), "sim0");
}

TEST_F(PortOnLine, BufferSizesAreLoweredToEvenAndAppliedWhileOpen) {
    const struct {
        int value, stored;
    } cases[] = {{257, 256}, {-3, -3}, {256, 256}, {1, 0}, {4096, 4096}, {0, 0}};
    for (auto c : cases) {
        TBComPort port;
        port.SetInBufSize(c.value);
        port.SetOutBufSize(c.value);
        EXPECT_EQ(port.InBufSize(), c.stored) << c.value;
        EXPECT_EQ(port.OutBufSize(), c.stored) << c.value;
    }
    port_->SetInBufSize(256);
    ASSERT_TRUE(port_->Open());
    line_->Refuse(comm::scSetupComm);
    EXPECT_NO_THROW(port_->SetInBufSize(256)); // unchanged: nothing is applied
    EXPECT_COM_ERROR(port_->SetInBufSize(513), ComMessage::SetupComm);
    EXPECT_EQ(port_->InBufSize(), 512); // the new value stays stored
    line_->Refuse(0);
    port_->SetOutBufSize(1025);
    EXPECT_EQ(line_->InQueue(), 512u);
    EXPECT_EQ(line_->OutQueue(), 1024u);
}

TEST_F(PortOnLine, TimeoutsReachTheDeviceAndNegativeValuesBecomeMaxDword) {
    ASSERT_TRUE(port_->Open());
    TComTimeouts& t = port_->Timeouts();
    t.SetReadInterval(-7);
    t.SetReadTotalMultiplier(3);
    t.SetReadTotalConstant(-1);
    t.SetWriteTotalMultiplier(5);
    t.SetWriteTotalConstant(60);
    const comm::COMMTIMEOUTS d = line_->Timeouts();
    EXPECT_EQ(d.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(d.ReadTotalTimeoutMultiplier, 3u);
    EXPECT_EQ(d.ReadTotalTimeoutConstant, 0xFFFFFFFFu);
    EXPECT_EQ(d.WriteTotalTimeoutMultiplier, 5u);
    EXPECT_EQ(d.WriteTotalTimeoutConstant, 60u);

    line_->Refuse(comm::scSetCommTimeouts);
    EXPECT_NO_THROW(t.SetWriteTotalConstant(60)); // unchanged value: nothing applied
    EXPECT_COM_ERROR(t.SetWriteTotalConstant(61), ComMessage::SetCommTimeouts);
    EXPECT_EQ(t.WriteTotalConstant(), 61);
    // The whole object is copied and applied even when the values are equal.
    TComTimeouts same;
    t.AssignTo(same);
    EXPECT_COM_ERROR(port_->SetTimeouts(same), ComMessage::SetCommTimeouts);
}

TEST(TComTimeoutsTest, WithoutOwnerOnlyStoresAndAssignToCopiesAllFive) {
    TComTimeouts a;
    a.SetReadInterval(1);
    a.SetReadTotalMultiplier(2);
    a.SetReadTotalConstant(3);
    a.SetWriteTotalMultiplier(4);
    a.SetWriteTotalConstant(5);
    TComTimeouts b;
    a.AssignTo(b);
    EXPECT_EQ(b.ReadInterval(), 1);
    EXPECT_EQ(b.ReadTotalMultiplier(), 2);
    EXPECT_EQ(b.ReadTotalConstant(), 3);
    EXPECT_EQ(b.WriteTotalMultiplier(), 4);
    EXPECT_EQ(b.WriteTotalConstant(), 5);
    TBComPort port; // closed: the setters store without touching a device
    port.SetTimeouts(a);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 5);
}

TEST_F(PortOnLine, SettersOnAnOpenPortApplyAtOnceWithoutReopening) {
    ASSERT_TRUE(port_->Open());
    port_->SetBaudRate(br2400);
    EXPECT_EQ(line_->State().BaudRate, 2400u);
    port_->SetByteSize(bs7);
    EXPECT_EQ(line_->State().ByteSize, 7);
    port_->SetStopBits(sb1_5);
    EXPECT_EQ(line_->State().StopBits, comm::ONE5STOPBITS);
    EXPECT_EQ(line_->Opens(), 1);

    // A refused apply leaves the new value stored and the device as it was.
    line_->Refuse(comm::scSetCommState);
    EXPECT_COM_ERROR(port_->SetBaudRate(br110), ComMessage::SetCommState);
    EXPECT_EQ(port_->BaudRate(), br110);
    EXPECT_EQ(line_->State().BaudRate, 2400u);
    EXPECT_TRUE(port_->Connected());
}

TEST_F(PortOnLine, LineControlOnAClosedPortRaises) {
    EXPECT_COM_ERROR(port_->SetDTR(true), ComMessage::EscapeCommFunction);
    EXPECT_COM_ERROR(port_->SetRTS(false), ComMessage::EscapeCommFunction);
    EXPECT_COM_ERROR(port_->AbortTransfers(), ComMessage::PurgeComm);
}

TEST_F(PortOnLine, FailingCloseStepKeepsThePortOpen) {
    ASSERT_TRUE(port_->Open());
    const struct {
        DWORD call;
        ComMessage message;
    } cases[] = {{comm::scEscapeCommFunction, ComMessage::EscapeCommFunction},
                 {comm::scPurgeComm, ComMessage::PurgeComm}};
    for (auto c : cases) {
        line_->Refuse(c.call);
        EXPECT_COM_ERROR(port_->Close(), c.message);
        EXPECT_TRUE(port_->Connected());
        EXPECT_NE(EventThread(*port_), nullptr);
        EXPECT_FALSE(EventThread(*port_)->Finished());
        EXPECT_TRUE(line_->IsOpen());
    }
    line_->Refuse(0);
    EXPECT_TRUE(port_->Close());
    EXPECT_FALSE(line_->IsOpen());
}

TEST_F(PortOnLine, DestructionClosesThePortEvenWhenACloseStepFails) {
    ASSERT_TRUE(port_->Open());
    port_.reset();
    EXPECT_FALSE(line_->IsOpen());

    TBComPort* port = new TBComPort; // owned by its owner below
    {
        QObject owner;
        port->setParent(&owner);
        port->SetPort("SIM0");
        ASSERT_TRUE(port->Open());
        line_->Refuse(comm::scEscapeCommFunction);
    }
    EXPECT_FALSE(line_->IsOpen());
}

TEST_F(PortOnLine, VanishedDeviceStillCloses) {
    ASSERT_TRUE(port_->Open());
    line_->Vanish();
    EXPECT_TRUE(port_->Close());
    EXPECT_FALSE(port_->Connected());
    EXPECT_EQ(PortHandle(*port_), comm::INVALID_HANDLE_VALUE);
    EXPECT_EQ(EventThread(*port_), nullptr);
    EXPECT_COM_ERROR(port_->Open(), ComMessage::NoSuchPort); // the adapter is gone
}

TEST_F(PortOnLine, AfterAFailedWriteCloseReleasesARemovedDeviceWhateverItsDriverAnswers) {
    // The codes drivers give for a surprise-removed device whose name stays until the last
    // handle closes, and the removal of a device whose name goes at once.
    const DWORD codes[] = {comm::ERROR_ACCESS_DENIED, comm::ERROR_BAD_COMMAND,
                           comm::ERROR_GEN_FAILURE, comm::ERROR_OPERATION_ABORTED, 0};
    for (const DWORD code : codes) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(port_->Open());
        if (code == 0) {
            line_->Vanish();
        } else {
            line_->SurpriseRemove(code);
            // The handle holds the removed device: its name stays, in use, and it cannot
            // come back.
            TBComPort other;
            other.SetPort("SIM0");
            EXPECT_COM_ERROR(other.Open(), ComMessage::PortBusy);
            EXPECT_FALSE(line_->PlugBack());
        }
        EXPECT_COM_ERROR(port_->WriteStr("fffff"), ComMessage::WriteError);
        EXPECT_TRUE(port_->Close());
        EXPECT_FALSE(port_->Connected());
        EXPECT_EQ(PortHandle(*port_), comm::INVALID_HANDLE_VALUE);
        EXPECT_EQ(EventThread(*port_), nullptr);
        EXPECT_FALSE(line_->IsOpen());
        EXPECT_COM_ERROR(port_->Open(), ComMessage::NoSuchPort);
        EXPECT_TRUE(line_->PlugBack());
    }
    // Back again, the port is healthy: a failing close step keeps it open once more.
    ASSERT_TRUE(port_->Open());
    line_->Refuse(comm::scEscapeCommFunction);
    EXPECT_COM_ERROR(port_->Close(), ComMessage::EscapeCommFunction);
    EXPECT_TRUE(port_->Connected());
    line_->Refuse(0);
    EXPECT_TRUE(port_->Close());
}

} // namespace

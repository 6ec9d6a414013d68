// Writes, the receive count and the modem signals, on the simulated line and on ptys.
#include "serial/BCPort.h"
#include "serial/PortOperation.h"
#include "tests/support/SerialFixtures.h"

#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class Transfer : public SimulatedLineTest {
protected:
    void SetUp() override {
        SimulatedLineTest::SetUp();
        // The generator's line: 8 data bits, even parity, 2 stop bits.
        port_->SetParity(paEven);
        port_->SetStopBits(sb2);
        port_->SetBaudRate(br1200);
    }
};

TEST_F(Transfer, EmptyStringStartsNothing) {
    ASSERT_TRUE(port_->Open());
    EXPECT_EQ(port_->WriteStr(""), 0);
    EXPECT_EQ(line_->Writes(), 0);
    PPortOperation op;
    NewPortOperation(op);
    EXPECT_EQ(port_->WriteStrAsync("", op), 0);
    EXPECT_EQ(port_->WaitForAsync(op), 0);
    FreePortOperation(op);
    EXPECT_EQ(op, nullptr);
}

TEST_F(Transfer, WriteStrReturnsWhenTheLastCharacterHasLeftTheLine) {
    ASSERT_TRUE(port_->Open());
    EXPECT_EQ(line_->CharacterTime(), 10ms); // 12 bit-times at 1200 bit/s
    const auto start = Clock::now();
    EXPECT_EQ(port_->WriteStr("fffff"), 5);
    EXPECT_GE(Clock::now() - start, 50ms);
    const auto sent = line_->Sent();
    ASSERT_EQ(sent.size(), 5u);
    for (std::size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].time - sent[i - 1].time, 10ms);
    }
    EXPECT_EQ(line_->SentText(), "fffff");
}

TEST_F(Transfer, ABufferingDriversWriteEndsWhenItsBytesAreOnTheLine) {
    // Such a driver (Windows') ends the write as soon as it has the bytes; the layer waits on.
    line_->BufferWrites(true);
    ASSERT_TRUE(port_->Open());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(port_->WriteStr("fffff"), 5);
        const auto sent = line_->Sent();
        ASSERT_EQ(sent.size(), 5u * (i + 1)) << "the write ended with bytes still to send";
        EXPECT_LE(sent.back().time, Clock::now());
    }
    EXPECT_EQ(line_->SentText(), "ffffffffff");
}

TEST_F(Transfer, WriteTimeOutCutsALongWriteShortWithTheSmallerCount) {
    port_->SetBaudRate(br110); // 12/110 s ≈ 109 ms per character
    port_->Timeouts().SetWriteTotalMultiplier(0);
    port_->Timeouts().SetWriteTotalConstant(300);
    ASSERT_TRUE(port_->Open());
    const auto start = Clock::now();
    EXPECT_EQ(port_->WriteStr("ffffffffff"), 2);
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_EQ(line_->SentText(), "ff");

    // With the generator's time-outs (100 ms a byte plus 1000 ms) 20 characters at 110 bit/s
    // need 2.2 s, and 3 s are allowed: nothing is cut.
    port_->Timeouts().SetWriteTotalMultiplier(100);
    port_->Timeouts().SetWriteTotalConstant(1000);
    port_->SetBaudRate(br2400);
    EXPECT_EQ(port_->WriteStr(std::string(20, 'f')), 20);
}

TEST_F(Transfer, ClosedPortAndMissingRecord) {
    EXPECT_COM_ERROR(port_->WriteStr("f"), ComMessage::WriteError);
    ASSERT_TRUE(port_->Open());
    PPortOperation none;
    EXPECT_COM_ERROR(port_->WriteAsync("f", 1, none), ComMessage::InvalidAsync);
    EXPECT_COM_ERROR(port_->WriteStrAsync("f", none), ComMessage::InvalidAsync);
    EXPECT_COM_ERROR(port_->WaitForAsync(none), ComMessage::InvalidAsync);
    EXPECT_EQ(line_->Writes(), 0);

    PPortOperation fresh;
    NewPortOperation(fresh);
    EXPECT_EQ(port_->WaitForAsync(fresh), 0);
    FreePortOperation(fresh);
}

TEST_F(Transfer, AsyncWriteUsesItsOwnCopyAndIsWaitedForLater) {
    ASSERT_TRUE(port_->Open());
    PPortOperation op;
    NewPortOperation(op);
    {
        std::string buffer = "abc";
        EXPECT_EQ(port_->WriteAsync(buffer.data(), 3, op), 0); // goes on in the background
        buffer.assign("xyz");
    }
    EXPECT_EQ(op->Kind, pkWrite);
    EXPECT_EQ(op->Size, 3);
    EXPECT_EQ(port_->WaitForAsync(op), 3);
    EXPECT_EQ(line_->SentText(), "abc");
    // One record carries several operations in turn.
    EXPECT_EQ(port_->WriteStrAsync("de", op), 0);
    EXPECT_EQ(port_->WaitForAsync(op), 2);
    EXPECT_EQ(line_->SentText(), "abcde");
    FreePortOperation(op);
}

TEST_F(Transfer, RefusedAndFailingWritesRaiseWithoutHanging) {
    ASSERT_TRUE(port_->Open());
    line_->Refuse(comm::scWrite);
    EXPECT_COM_ERROR(port_->WriteStr("f"), ComMessage::WriteError);
    PPortOperation op;
    NewPortOperation(op);
    EXPECT_COM_ERROR(port_->WriteStrAsync("ff", op), ComMessage::WriteError);
    EXPECT_EQ(op->Size, 2); // the record keeps its copy
    EXPECT_COM_ERROR(port_->WaitForAsync(op), ComMessage::WriteError);
    FreePortOperation(op);
    line_->Refuse(0);

    // A read-kind record that fails reports the read message.
    NewPortOperation(op);
    port_->WriteStrAsync("ff", op);
    op->Kind = pkRead;
    line_->Vanish();
    EXPECT_COM_ERROR(port_->WaitForAsync(op), ComMessage::ReadError);
    FreePortOperation(op);
}

TEST_F(Transfer, WriteOnAVanishedLineFailsAtOnceAndInFlight) {
    ASSERT_TRUE(port_->Open());
    port_->SetBaudRate(br110);
    std::thread unplug([this] {
        std::this_thread::sleep_for(150ms);
        line_->Vanish();
    });
    const auto start = Clock::now();
    EXPECT_COM_ERROR(port_->WriteStr(std::string(30, 'f')), ComMessage::WriteError);
    EXPECT_LT(Clock::now() - start, 2s);
    unplug.join();
    EXPECT_COM_ERROR(port_->WriteStr("f"), ComMessage::WriteError);
    EXPECT_TRUE(port_->Close());
}

TEST_F(Transfer, InputCountAndLineSignals) {
    EXPECT_COM_ERROR(port_->InputCount(), ComMessage::ClearCommError);
    EXPECT_COM_ERROR(port_->LineSignals(), ComMessage::GetCommModemStatus);
    ASSERT_TRUE(port_->Open());
    EXPECT_EQ(port_->InputCount(), 0);
    line_->Inject("abc");
    EXPECT_EQ(port_->InputCount(), 3);
    line_->TakeReceived(2);
    EXPECT_EQ(port_->InputCount(), 1);

    const struct {
        comm::DWORD status;
        TLineSignals lines;
    } cases[] = {
        {0, {}},
        {comm::MS_DSR_ON | comm::MS_RLSD_ON, {lsDSR, lsRLSD}},
        {comm::MS_CTS_ON, {lsCTS}},
        {comm::MS_RING_ON | comm::MS_CTS_ON, {lsCTS, lsRing}},
        {0xF0, {lsCTS, lsDSR, lsRing, lsRLSD}},
    };
    for (auto c : cases) {
        line_->SetModemStatus(c.status);
        EXPECT_EQ(port_->LineSignals(), c.lines) << c.status;
    }
    line_->Refuse(comm::scClearCommError | comm::scGetCommModemStatus);
    EXPECT_COM_ERROR(port_->InputCount(), ComMessage::ClearCommError);
    EXPECT_COM_ERROR(port_->LineSignals(), ComMessage::GetCommModemStatus);
}

TEST(Windows1251Test, TextToLineBytes) {
    EXPECT_EQ(ToWindows1251("f|F"), "f|F");
    EXPECT_EQ(ToWindows1251(QString::fromUtf8("АЯая")), "\xC0\xDF\xE0\xFF");
    EXPECT_EQ(ToWindows1251(QString::fromUtf8("ЁёЄєІіЇї№")),
              "\xA8\xB8\xAA\xBA\xB2\xB3\xAF\xBF\xB9");
    EXPECT_EQ(ToWindows1251(QString::fromUtf8("漢")), "?");
    // One byte per character also beyond the 16-bit range; a lone half of a pair is one too.
    EXPECT_EQ(ToWindows1251(QString::fromUtf8("f\U0001F600f")), "f?f");
    EXPECT_EQ(ToWindows1251(QString(QChar(0xD83D)) + u'f'), "?f");
    EXPECT_EQ(ToWindows1251(u'f' + QString(QChar(0xDE00))), "f?");
}

} // namespace

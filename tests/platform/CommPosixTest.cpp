// The POSIX backend's pure parts: the DCB as termios, the standard speeds, the read-back
// comparison, open errors, modem lines and serial counters; and the descriptor owner.
#include "platform/comm/PosixCounters.h"
#include "platform/comm/PosixMapping.h"
#include "platform/comm/PosixWriter.h"
#include "platform/comm/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace comm;
using namespace comm::posix;

namespace {

DCB Settings(DWORD rate, BYTE size, BYTE parity, BYTE stop, DWORD flags = 0x1011) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = rate;
    dcb.Flags = flags;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

// Settings a terminal might have had before: cooked, echoing, with flow control.
termios Cooked() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXOFF | IXANY | IGNPAR | PARMRK | INPCK | ISTRIP | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    return t;
}

TEST(CommPosixTest, StandardRatesHaveTheirSpeedsAndOthersNone) {
    const struct {
        DWORD rate;
        speed_t speed;
    } table[] = {
        {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto& row : table) {
        EXPECT_EQ(StandardSpeed(row.rate), row.speed) << row.rate;
    }
    for (DWORD rate : {0u, 1u, 14400u, 56000u, 128000u, 256000u, 9601u, 1000000u, MAXDWORD}) {
        EXPECT_FALSE(StandardSpeed(rate).has_value()) << rate;
    }
}

TEST(CommPosixTest, FrameOfTheDcbBecomesTheControlFlags) {
    const struct {
        BYTE size, parity, stop;
        tcflag_t flags; // of CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
    } table[] = {
        {8, NOPARITY, ONESTOPBIT, CS8},
        {7, ODDPARITY, ONESTOPBIT, CS7 | PARENB | PARODD},
        {6, EVENPARITY, TWOSTOPBITS, CS6 | PARENB | CSTOPB},
        {5, MARKPARITY, ONE5STOPBITS, CS5 | PARENB | CMSPAR | PARODD | CSTOPB},
        {8, SPACEPARITY, ONESTOPBIT, CS8 | PARENB | CMSPAR},
    };
    const tcflag_t frame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message()
                     << int(row.size) << " " << int(row.parity) << " " << int(row.stop));
        const termios t = LineTermios(Settings(9600, row.size, row.parity, row.stop), Cooked());
        EXPECT_EQ(t.c_cflag & frame, row.flags);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        // Raw: no line editing, echo, signals, output processing or input translation.
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | IXANY | IGNPAR | PARMRK | INPCK | ISTRIP),
                  0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
        EXPECT_EQ(t.c_cc[VSTART], 0x11);
        EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    }
}

TEST(CommPosixTest, FlowControlFlagsAndRates) {
    const struct {
        DWORD flags;
        tcflag_t cflag; // of CRTSCTS
        tcflag_t iflag; // of INPCK | IXON | IXOFF
    } table[] = {
        {DCB_fBinary, 0, 0},
        {DCB_fBinary | DCB_fOutxCtsFlow, CRTSCTS, 0},
        {DCB_fBinary | DCB_RTS_CONTROL_HANDSHAKE, CRTSCTS, 0},
        {DCB_fBinary | DCB_RTS_CONTROL_ENABLE, 0, 0},
        {DCB_fBinary | DCB_fParity, 0, INPCK},
        {DCB_fBinary | DCB_fOutX, 0, IXON},
        {DCB_fBinary | DCB_fInX, 0, IXOFF},
        {DCB_fBinary | DCB_fOutX | DCB_fInX | DCB_fParity | DCB_fOutxCtsFlow, CRTSCTS,
         INPCK | IXON | IXOFF},
    };
    for (const auto& row : table) {
        const termios t = LineTermios(Settings(9600, 8, NOPARITY, ONESTOPBIT, row.flags), Cooked());
        EXPECT_EQ(t.c_cflag & CRTSCTS, row.cflag) << row.flags;
        EXPECT_EQ(t.c_iflag & (INPCK | IXON | IXOFF), row.iflag) << row.flags;
    }
    for (const auto& [rate, speed] : {std::pair{110u, B110},
                                      {9600u, B9600},
                                      {921600u, B921600},
                                      {14400u, B38400},
                                      {256000u, B38400}}) {
        const termios t = LineTermios(Settings(rate, 8, NOPARITY, ONESTOPBIT), Cooked());
        EXPECT_EQ(cfgetospeed(&t), speed) << rate;
        EXPECT_EQ(cfgetispeed(&t), speed) << rate;
    }
}

TEST(CommPosixTest, ReadBackComparesTheFrameOrOnAPtyTheStopBits) {
    const termios asked = LineTermios(Settings(9600, 7, EVENPARITY, TWOSTOPBITS), Cooked());
    termios ptyLike = asked; // a pty forces eight data bits and no parity
    ptyLike.c_cflag = (ptyLike.c_cflag & ~(CSIZE | PARENB)) | CS8;
    EXPECT_TRUE(SettingsTaken(asked, asked, false));
    EXPECT_TRUE(SettingsTaken(asked, asked, true));
    EXPECT_FALSE(SettingsTaken(asked, ptyLike, false));
    EXPECT_TRUE(SettingsTaken(asked, ptyLike, true));
    termios oneStop = asked;
    oneStop.c_cflag &= ~CSTOPB;
    EXPECT_FALSE(SettingsTaken(asked, oneStop, false));
    EXPECT_FALSE(SettingsTaken(asked, oneStop, true));
    termios otherFlags = asked; // flags outside the frame are not compared
    otherFlags.c_cflag ^= HUPCL | CLOCAL;
    otherFlags.c_iflag ^= IXON;
    EXPECT_TRUE(SettingsTaken(asked, otherFlags, false));

    const struct {
        DWORD asked;
        unsigned actual;
        bool taken;
    } rates[] = {
        {9600, 9600, true},       {9600, 9792, true},  {9600, 9408, true},
        {9600, 9793, false},      {9600, 9407, false}, {128000, 127840, true},
        {256000, 251000, true},   {256000, 0, false},  {110, 112, true},
        {110, 113, false},        {0, 0, false},       {MAXDWORD, 4294967295u, true},
        {921600, 1000000, false},
    };
    for (const auto& row : rates) {
        EXPECT_EQ(RateTaken(row.asked, row.actual), row.taken) << row.asked << " " << row.actual;
    }
}

TEST(CommPosixTest, OpenErrorsModemLinesAndGoneDevices) {
    const struct {
        int error;
        DWORD code;
    } opens[] = {
        {ENOENT, ERROR_FILE_NOT_FOUND},
        {ENODEV, ERROR_FILE_NOT_FOUND},
        {ENXIO, ERROR_FILE_NOT_FOUND},
        {ENOTDIR, ERROR_FILE_NOT_FOUND},
        {EIO, ERROR_FILE_NOT_FOUND},
        {EBUSY, ERROR_ACCESS_DENIED},
        {EACCES, ERROR_ACCESS_DENIED},
        {EPERM, ERROR_ACCESS_DENIED},
        {EWOULDBLOCK, ERROR_ACCESS_DENIED},
        {EISDIR, ERROR_INVALID_NAME},
        {EINVAL, ERROR_GEN_FAILURE},
        {EMFILE, ERROR_GEN_FAILURE},
        {0, ERROR_GEN_FAILURE},
    };
    for (const auto& row : opens) {
        EXPECT_EQ(OpenError(row.error), row.code) << row.error;
    }

    EXPECT_EQ(ModemStatus(0), 0u);
    EXPECT_EQ(ModemStatus(TIOCM_CTS), MS_CTS_ON);
    EXPECT_EQ(ModemStatus(TIOCM_DSR), MS_DSR_ON);
    EXPECT_EQ(ModemStatus(TIOCM_RI), MS_RING_ON);
    EXPECT_EQ(ModemStatus(TIOCM_CD), MS_RLSD_ON);
    // Output lines and the rest do not show in the status.
    EXPECT_EQ(ModemStatus(TIOCM_DTR | TIOCM_RTS | TIOCM_LE | TIOCM_ST | TIOCM_SR), 0u);
    EXPECT_EQ(ModemStatus(~0), MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);

    for (int error : {EIO, ENODEV, ENXIO}) {
        EXPECT_TRUE(IsGone(error)) << error;
    }
    for (int error : {EAGAIN, EINTR, ENOTTY, EINVAL, EBADF}) {
        EXPECT_FALSE(IsGone(error)) << error;
    }
    EXPECT_TRUE(Unsupported(ENOTTY));
    EXPECT_TRUE(Unsupported(EINVAL));
    EXPECT_FALSE(Unsupported(EIO));
}

TEST(CommPosixTest, CounterChangesGiveErrorFlagsAndEvents) {
    const serial_icounter_struct before{};
    const struct {
        int serial_icounter_struct::* counter;
        DWORD errors, events;
    } table[] = {
        {&serial_icounter_struct::frame, CE_FRAME, EV_ERR},
        {&serial_icounter_struct::parity, CE_RXPARITY, EV_ERR},
        {&serial_icounter_struct::overrun, CE_OVERRUN, EV_ERR},
        {&serial_icounter_struct::brk, CE_BREAK, EV_ERR | EV_BREAK},
        {&serial_icounter_struct::buf_overrun, CE_RXOVER, EV_ERR},
        {&serial_icounter_struct::cts, 0, EV_CTS},
        {&serial_icounter_struct::dsr, 0, EV_DSR},
        {&serial_icounter_struct::dcd, 0, EV_RLSD},
        {&serial_icounter_struct::rng, 0, EV_RING},
        {&serial_icounter_struct::rx, 0, 0}, // data counts are not events
        {&serial_icounter_struct::tx, 0, 0},
    };
    serial_icounter_struct all{};
    DWORD allErrors = 0, allEvents = 0;
    for (const auto& row : table) {
        serial_icounter_struct now{};
        now.*row.counter = 3;
        const CounterChange change = CompareCounters(before, now);
        EXPECT_EQ(change.errors, row.errors);
        EXPECT_EQ(change.events, row.events);
        all.*row.counter = 1;
        allErrors |= row.errors;
        allEvents |= row.events;
    }
    const CounterChange change = CompareCounters(before, all);
    EXPECT_EQ(change.errors, allErrors);
    EXPECT_EQ(change.events, allEvents);
    const CounterChange none = CompareCounters(all, all);
    EXPECT_EQ(none.errors, 0u);
    EXPECT_EQ(none.events, 0u);
}

TEST(CommPosixTest, CountersAndModemLinesOfADescriptorWithoutThem) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    UniqueFd read(pipeFds[0]), write(pipeFds[1]);
    LineReadings readings;
    EXPECT_TRUE(readings.Watchable());
    bool gone = false;
    EXPECT_EQ(readings.ReadCounters(read.Get(), gone).events, 0u);
    EXPECT_TRUE(readings.Watchable()); // the modem lines may still tell
    EXPECT_EQ(readings.ReadModem(read.Get(), gone), 0u);
    EXPECT_FALSE(gone);
    EXPECT_FALSE(readings.Watchable()); // a pipe is no terminal: not asked again

    // A descriptor that is no longer open is no unplugged device either.
    const int closed = read.Release();
    close(closed);
    LineReadings other;
    EXPECT_EQ(other.ReadCounters(closed, gone).errors, 0u);
    EXPECT_FALSE(gone);
    EXPECT_TRUE(other.Watchable());
}

bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

// A write is over when the driver's transmitter report says so, or when that report has kept
// silent past the bytes' line time and the grace since the output queue ran empty.
TEST(CommPosixTest, WriteIsDrainedByTheReportOrByItsSilence) {
    using std::chrono::milliseconds;
    const milliseconds line(46); // five characters at 1200 bit/s, 8E2
    const milliseconds silent = line + milliseconds(comm::kSilentReportGraceMs);
    const struct {
        std::optional<bool> transmitterEmpty;
        milliseconds sinceQueueEmpty;
        bool drained;
    } cases[] = {
        {std::nullopt, milliseconds(0), true}, // no report: the empty queue tells all
        {true, milliseconds(0), true},
        {false, milliseconds(0), false},
        {false, line, false}, // never before the bytes' line time
        {false, silent - milliseconds(1), false},
        {false, silent, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sinceQueueEmpty.count());
        EXPECT_EQ(comm::WriteDrained(c.transmitterEmpty, c.sinceQueueEmpty, line), c.drained);
    }
}

TEST(CommPosixTest, UniqueFdClosesWhatItOwns) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        UniqueFd a(fds[0]);
        UniqueFd b(fds[1]);
        EXPECT_TRUE(a);
        UniqueFd moved(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(moved.Get(), fds[0]);
        EXPECT_TRUE(IsOpen(fds[0]));
        moved = std::move(b); // closes the read end, takes the write end
        EXPECT_FALSE(IsOpen(fds[0]));
        EXPECT_EQ(moved.Get(), fds[1]);
        EXPECT_FALSE(b);
    }
    EXPECT_FALSE(IsOpen(fds[1]));

    ASSERT_EQ(pipe(fds), 0);
    int kept = -1;
    {
        UniqueFd a(fds[0]);
        UniqueFd b(fds[1]);
        kept = a.Release();
        EXPECT_FALSE(a);
        b.Reset();
        EXPECT_FALSE(b);
        EXPECT_FALSE(IsOpen(fds[1]));
    }
    EXPECT_TRUE(IsOpen(kept));
    close(kept);
}

} // namespace

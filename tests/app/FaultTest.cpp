// Faults during use of the real window: the far side of the port going away during a run or
// while it is being closed, the port's directory vanishing after the list was read, a port
// locked by another process, and a line that stops taking data. Each must end in the port
// component's message (or none), an idle window and a port that opens again.

#include "tests/app/ReliabilityFixture.h"

#include "platform/ui/Application.h"
#include "platform/ui/TThreadTimer.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::ErrorBoxes;

class Faults : public testsupport::ReliabilityTest {
protected:
    // A writer tick run by the test, with an escaping error going to the error box.
    void Tick() {
        ui::RunHandler([this] { form_->Timer1Timer(); });
    }
    // The writer's own ticks stay away while the test runs its ticks itself.
    void TicksFromTheTestAlone() { form_->Timer1->SetInterval(3600 * 1000); }
    void TicksFromTheWriter() { form_->Timer1->SetInterval(100); }

    // A fresh pseudo-terminal under the same name, then START works and writes again.
    void ExpectFreshPortRuns() {
        pty_.reset();
        pty_ = std::make_unique<testsupport::SerialPty>("ttyV0");
        ExpectPortRuns();
    }
    void ExpectPortRuns() {
        ErrorBoxes::Clear();
        Start();
        ASSERT_TRUE(Running()) << Errors();
        EXPECT_EQ(pty_->Read(5), "fffff");
        Stop();
        EXPECT_TRUE(Idle());
        EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << Errors();
    }

    // Writes into the line from the slave side until the master's side takes no more: the
    // kernel moves data on between its buffers for a moment after a write is refused.
    static void FillLine(int slave) {
        const std::string chunk(4096, 'x');
        for (int refusedAtOnce = 0; refusedAtOnce < 3;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            for (bool first = true;; first = false) {
                const ssize_t n = ::write(slave, chunk.data(), chunk.size());
                if (n < 0 && errno == EAGAIN) {
                    refusedAtOnce = first ? refusedAtOnce + 1 : 0;
                    break;
                }
                ASSERT_GT(n, 0) << "write: " << errno;
            }
        }
    }
};

TEST_F(Faults, MasterClosedDuringARunEndsItWithTheWriteError) {
    Start();
    ASSERT_TRUE(Running());
    EXPECT_EQ(pty_->Read(5), "fffff");
    pty_->CloseMaster();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Idle(); })) << Errors();
    Pump(300);
    ASSERT_EQ(ErrorBoxes::Texts(), QStringList{QStringLiteral("Ошибка записи в порт.")});
    // Later ticks meet a closed port and stay silent.
    Tick();
    form_->Timer2Timer();
    EXPECT_EQ(ErrorBoxes::Texts().size(), 1);
    ExpectFreshPortRuns();
}

TEST_F(Faults, MasterClosedWhileAWriteWaitsEndsTheWriteAtOnce) {
    const int slave = ::open(pty_->SlavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    Start();
    ASSERT_TRUE(Running());
    FillLine(slave);
    // The writer's tick now waits for a line that takes nothing.
    Pump(200);
    const auto started = Clock::now();
    pty_->CloseMaster();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Idle(); })) << Errors();
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    ::close(slave);
    // The write time-outs would have ended it after 1.5 s without an error.
    EXPECT_LT(took, 1.0);
    EXPECT_EQ(ErrorBoxes::Texts(), QStringList{QStringLiteral("Ошибка записи в порт.")});
    ExpectFreshPortRuns();
}

TEST_F(Faults, MasterClosedBeforeStopStillClosesWithoutAnError) {
    const int descriptors = OpenDescriptors();
    Start();
    ASSERT_TRUE(Running());
    pty_->CloseMaster();
    Stop();
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << Errors();
    EXPECT_EQ(OpenDescriptors(), descriptors - 1); // the master
    ExpectFreshPortRuns();
}

TEST_F(Faults, MasterClosedWhileStopRunsNeverLeavesThePortHalfClosed) {
    // The far side goes away at varying moments around and during Close.
    for (int attempt = 0; attempt < 20; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        pty_.reset();
        pty_ = std::make_unique<testsupport::SerialPty>("ttyV0");
        ErrorBoxes::Clear();
        Start();
        ASSERT_TRUE(Running()) << Errors();
        ASSERT_EQ(pty_->Read(5), "fffff");
        std::atomic<bool> go{false};
        std::thread unplug([&, delay = attempt * 50] {
            while (!go) {
                std::this_thread::yield();
            }
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            pty_->CloseMaster();
        });
        go = true;
        Stop();
        unplug.join();
        EXPECT_TRUE(Idle()) << Errors();
        EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << Errors();
    }
    ExpectFreshPortRuns();
}

TEST_F(Faults, PortDirectoryGoneBetweenListingAndStart) {
    ASSERT_EQ(form_->cbPort->currentText(), QStringLiteral("ttyV0"));
    std::filesystem::remove_all(pty_->Directory());
    Start();
    EXPECT_EQ(ErrorBoxes::Texts(),
              QStringList{QStringLiteral("Попытка открыть несуществующий COM-порт.")});
    EXPECT_TRUE(Idle());
    // The directory comes back: the same list entry opens.
    std::filesystem::create_directories(pty_->Directory());
    std::filesystem::create_symlink(pty_->SlavePath(), pty_->LinkPath());
    ExpectPortRuns();
}

TEST_F(Faults, PortLockedByAnotherProcess) {
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const std::string path = pty_->LinkPath();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls in the child of a threaded process.
        ::close(release[1]);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char byte;
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(ok, '1');

    Start();
    EXPECT_EQ(ErrorBoxes::Texts(), QStringList{QStringLiteral("Порт занят другой программой.")});
    EXPECT_TRUE(Idle());

    ::close(release[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ExpectPortRuns();
}

TEST_F(Faults, LineThatStopsTakingDataCutsEachWriteAtItsTimeOuts) {
    const int slave = ::open(pty_->SlavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    TicksFromTheTestAlone();
    Start();
    ASSERT_TRUE(Running());
    FillLine(slave);
    ::close(slave);
    // 100 ms per character plus 1000 ms: the tick returns without an error, the run goes on.
    const auto started = Clock::now();
    Tick();
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_GE(took, 1.2);
    EXPECT_LT(took, 10.0);
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << Errors();
    EXPECT_TRUE(Running());
    Stop();
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << Errors();
    // The far side reads again: what is left in the line, then a new run's pattern.
    pty_->ReadAll(std::chrono::milliseconds(50));
    TicksFromTheWriter();
    ExpectPortRuns();
}

TEST_F(Faults, StopWhileTheLineTakesNoDataEndsThePendingWriteAtOnce) {
    const int slave = ::open(pty_->SlavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    Start();
    ASSERT_TRUE(Running());
    FillLine(slave);
    ::close(slave);
    // The writer's tick waits up to 1.5 s for the line; STOP does not wait with it.
    Pump(300);
    const auto started = Clock::now();
    Stop();
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_LT(took, 0.5);
    EXPECT_TRUE(Idle());
    Pump(200);
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty()) << Errors();
    pty_->ReadAll(std::chrono::milliseconds(50));
    ExpectPortRuns();
}

} // namespace

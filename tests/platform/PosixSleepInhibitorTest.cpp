// The Linux sleep lock against a private bus that stands in for the system's and the session's.
#include "platform/ui/PosixSleepInhibitorPrivate.h"
#include "tests/support/EventLoop.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

const QString kPortalRequest = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t");

// logind and the portal as far as the lock uses them: records each call and answers it, with
// a pipe's write end for logind's lock.
class FakeService : public QDBusVirtualObject {
public:
    ~FakeService() override {
        for (int fd : readEnds) {
            close(fd);
        }
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        calls.push_back(call);
        if (call.interface() == QLatin1String("org.freedesktop.login1.Manager")) {
            int ends[2];
            EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
            readEnds.push_back(ends[0]);
            bus.send(call.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))));
            close(ends[1]); // the reply holds a copy
        } else if (call.member() == QLatin1String("Inhibit")) {
            bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(kPortalRequest))));
        } else {
            bus.send(call.createReply());
        }
        return true;
    }
    std::vector<QDBusMessage> calls;
    std::vector<int> readEnds;
};

std::optional<QDBusConnection> NoBus() {
    return std::nullopt;
}

// Qt's D-Bus thread takes the calls through Qt's own locks, which ThreadSanitizer cannot see
// in a Qt not built for it; the lock itself runs on one thread.
#ifdef __SANITIZE_THREAD__
#define SKIP_UNDER_TSAN() GTEST_SKIP() << "Qt's D-Bus thread is opaque to ThreadSanitizer"
#else
#define SKIP_UNDER_TSAN() (void)0
#endif

// Whether every write end of the pipe is closed.
bool Closed(int readEnd) {
    pollfd p{readEnd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
}

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_UNDER_TSAN();
        daemon_.start(QStringLiteral("dbus-daemon"), {"--session", "--print-address", "--nofork"});
        ASSERT_TRUE(daemon_.waitForReadyRead(5000)) << "dbus-daemon (package dbus-daemon)";
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_TRUE(Service().registerVirtualObject("/", &fake_, QDBusConnection::SubPath));
    }
    void TearDown() override {
        if (IsSkipped()) {
            return;
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        daemon_.terminate();
        daemon_.waitForFinished();
    }
    QDBusConnection Service() const { return QDBusConnection::connectToBus(address_, "service"); }
    ui::TSleepInhibitor::Lock::Bus Client() const {
        return [address = address_]() -> std::optional<QDBusConnection> {
            return QDBusConnection::connectToBus(address, "client");
        };
    }
    static std::unique_ptr<ui::TSleepInhibitor::Lock> Lock(ui::TSleepInhibitor::Lock::Bus system,
                                                           ui::TSleepInhibitor::Lock::Bus session) {
        return std::make_unique<ui::TSleepInhibitor::Lock>("Tavrix", "Pulses", system, session);
    }
    QProcess daemon_;
    QString address_;
    FakeService fake_;
};

TEST_F(SleepInhibitorTest, HoldsLogindsLockWhileItLivesAndGivesItBackLateToo) {
    ASSERT_TRUE(Service().registerService(QStringLiteral("org.freedesktop.login1")));
    auto lock = Lock(Client(), NoBus);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return fake_.calls.size() == 1; }));
    EXPECT_EQ(fake_.calls[0].arguments(), (QVariantList{"sleep", "Tavrix", "Pulses", "block"}));
    EXPECT_FALSE(testsupport::WaitUntil([&] { return Closed(fake_.readEnds[0]); }, 300ms));
    lock.reset();
    EXPECT_TRUE(Closed(fake_.readEnds[0]));

    // A run that ends before logind answers: the lock is given back as it arrives.
    Lock(Client(), NoBus).reset();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return fake_.calls.size() == 2; }));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Closed(fake_.readEnds[1]); }));
}

TEST_F(SleepInhibitorTest, AsksThePortalWhereThereIsNoLogind) {
    ASSERT_TRUE(Service().registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    auto lock = Lock(Client(), Client()); // logind is not on that bus
    ASSERT_TRUE(testsupport::WaitUntil([&] { return fake_.calls.size() == 1; }));
    const QList<QVariant> inhibit = fake_.calls[0].arguments();
    ASSERT_EQ(inhibit.size(), 3);
    EXPECT_EQ(inhibit[0].toString(), QString());
    EXPECT_EQ(inhibit[1].toUInt(), 4U); // suspend
    EXPECT_EQ(qdbus_cast<QVariantMap>(inhibit[2]).value("reason").toString(), "Pulses");
    EXPECT_FALSE(testsupport::WaitUntil([&] { return fake_.calls.size() > 1; }, 300ms));
    lock.reset();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return fake_.calls.size() == 2; }));
    EXPECT_EQ(fake_.calls[1].path(), kPortalRequest);
    EXPECT_EQ(fake_.calls[1].member(), "Close");

    // A run that ends before the portal answers: the request is closed as it arrives.
    Lock(NoBus, Client()).reset();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return fake_.calls.size() == 4; }));
    EXPECT_EQ(fake_.calls[3].member(), "Close");
}

TEST(SleepInhibitorNoBusTest, NeitherFailsNorWaits) {
    SKIP_UNDER_TSAN();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/session_bus_socket");
    const auto start = std::chrono::steady_clock::now();
    std::optional<ui::TSleepInhibitor> inhibitor(std::in_place, QStringLiteral("Pulses"));
    inhibitor.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    testsupport::WaitUntil([] { return false; }, 100ms);
}

} // namespace

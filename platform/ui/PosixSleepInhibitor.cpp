// The sleep inhibitor on Linux: logind's inhibitor lock, or the desktop portal's.
//
// logind comes first: it carries out every suspend, whoever asks for it (a desktop's idle
// policy, its own IdleAction), so its lock holds all of them off and needs no desktop. The
// portal serves the sessions that cannot reach logind (a sandbox without the system bus) and
// passes the request to the desktop's own idle policy. One lock is enough, so the portal is
// asked only where logind refuses or is missing.

#include "platform/ui/Application.h"
#include "platform/ui/PosixSleepInhibitorPrivate.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QFileInfo>
#include <QVariantMap>
#include <optional>
#include <utility>

namespace ui {

namespace detail {

// What was asked and granted. The reply handlers share it with the lock, so a grant that
// arrives after the lock has gone finds it released and is given back at once.
struct SleepRequest {
    bool released = false;
    // logind keeps its lock while a descriptor of it is open.
    QDBusUnixFileDescriptor logindLock;
    // The portal keeps its lock until the request object it answered with is closed.
    std::optional<QDBusConnection> portalBus;
    QString portalRequest;

    void Release() {
        released = true;
        logindLock = QDBusUnixFileDescriptor();
        if (portalBus && !portalRequest.isEmpty()) {
            portalBus->send(QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.portal.Desktop"), portalRequest,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")));
        }
        portalRequest.clear();
    }
};

} // namespace detail

namespace {

using detail::SleepRequest;

// Sends a call and returns; the handler gets the reply or the error (a time-out included) on
// this thread's event loop. The watcher is the application's child, so one still outstanding
// at exit goes with it.
template <class Handler>
void Ask(const QDBusConnection& bus, const QDBusMessage& call, Handler handler) {
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [handler = std::move(handler)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         handler(*finished);
                     });
}

void AskPortal(const std::shared_ptr<SleepRequest>& request,
               const std::optional<QDBusConnection>& found, const QString& why) {
    if (!found || !found->isConnected()) {
        return;
    }
    const QDBusConnection& bus = *found;
    constexpr uint kSuspend = 4;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    // No parent window: the lock is the program's, not a window's.
    call << QString() << kSuspend << QVariantMap{{QStringLiteral("reason"), why}};
    Ask(bus, call, [request, bus](const QDBusPendingCall& answer) {
        const QDBusPendingReply<QDBusObjectPath> reply = answer;
        if (reply.isError()) {
            return;
        }
        request->portalBus = bus;
        request->portalRequest = reply.value().path();
        if (request->released) {
            request->Release();
        }
    });
}

void AskLogind(const std::shared_ptr<SleepRequest>& request,
               const std::optional<QDBusConnection>& bus, const QString& who, const QString& why,
               TSleepInhibitor::Lock::Bus session) {
    if (!bus || !bus->isConnected()) {
        AskPortal(request, session(), why);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << who << why << QStringLiteral("block");
    Ask(*bus, call, [request, why, session = std::move(session)](const QDBusPendingCall& answer) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = answer;
        // A bus that cannot pass descriptors answers without one.
        if (reply.isError() || !reply.value().isValid()) {
            if (!request->released) {
                AskPortal(request, session(), why);
            }
            return;
        }
        request->logindLock = reply.value();
        if (request->released) {
            request->Release();
        }
    });
}

// The buses as libdbus finds them: the address in the environment, else the system bus's
// socket, the session bus's socket in the user's runtime directory. Where neither is there (a
// container, CI) Qt's D-Bus layer is not started at all, so its thread and its connection
// attempts cost nothing. A session bus found only through X11 autolaunch is not asked.
std::optional<QDBusConnection> SystemBus() {
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") &&
        !QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")) &&
        !QFileInfo::exists(QStringLiteral("/var/run/dbus/system_bus_socket"))) {
        return std::nullopt;
    }
    return QDBusConnection::systemBus();
}

std::optional<QDBusConnection> SessionBus() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") ||
         !QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus")))) {
        return std::nullopt;
    }
    return QDBusConnection::sessionBus();
}

} // namespace

TSleepInhibitor::Lock::Lock(const QString& who, const QString& why, Bus system, Bus session)
    : request_(std::make_shared<SleepRequest>()) {
    AskLogind(request_, system(), who, why, std::move(session));
}

TSleepInhibitor::Lock::~Lock() {
    request_->Release();
}

TSleepInhibitor::TSleepInhibitor(const QString& reason)
    : TSleepInhibitor(std::make_unique<Lock>(
          ApplicationTitle().isEmpty() ? QCoreApplication::applicationName() : ApplicationTitle(),
          reason, SystemBus, SessionBus)) {}

TSleepInhibitor::TSleepInhibitor(std::unique_ptr<Lock> lock) : lock_(std::move(lock)) {}

TSleepInhibitor::~TSleepInhibitor() = default;

} // namespace ui

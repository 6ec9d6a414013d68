// The watch on Windows follows the serial device map itself, the registry key
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM: it is exactly what the port list reads, and a
// port's driver (the system's serial and USB modem drivers, the adapters' own, Bluetooth's, virtual
// port drivers) writes its value when the port starts and deletes it when the port stops. A device
// interface notification (CM_Register_Notification on the COM port interface) is not needed beside
// it: it arrives on a pool thread, may come before the driver has written the name, misses ports
// that register no interface, and Wine 8 has no such call, while it does notify registry changes.
//
// The notification is one-shot: it is armed again at each change, before the settling time, so
// that no change of a burst is lost. Its event is waited on by QWinEventNotifier, which reports
// on the owner thread's event loop, so no thread of our own is needed. While the map does not
// exist (no port has started since boot), its parent key is watched for it to appear.

#include "platform/ports/PortWatch.h"

#include <QWinEventNotifier>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

constexpr wchar_t kDeviceMaps[] = L"HARDWARE\\DEVICEMAP";
constexpr wchar_t kSerialDeviceMap[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
// Values set or deleted, subkeys made or deleted (the map appearing under its parent).
constexpr ::DWORD kChanges = REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME;

} // namespace

// One watched key with its event. Closing a key signals its event, so the notifier stops
// waiting before the key closes: a key given up never reports.
struct TPortWatch::Source {
    ::HANDLE event = nullptr;
    ::HKEY key = nullptr;
    std::unique_ptr<QWinEventNotifier> notifier;
    bool parent = false; // the map is missing and its parent is watched
    bool armed = false;

    ~Source() { Close(); }

    void Close() {
        notifier.reset();
        if (key != nullptr) {
            ::RegCloseKey(key);
            key = nullptr;
        }
        if (event != nullptr) {
            ::CloseHandle(event);
            event = nullptr;
        }
        armed = false;
    }

    void Arm() {
        ::ResetEvent(event);
        armed = ::RegNotifyChangeKeyValue(key, FALSE, kChanges, event, TRUE) == ERROR_SUCCESS;
    }
};

TPortWatch::TPortWatch(QObject* parent) : QObject(parent), source_(std::make_unique<Source>()) {
    SetUpSettling();
}

TPortWatch::~TPortWatch() = default;

void TPortWatch::Watch() {
    Source& source = *source_;
    if (source.armed && !source.parent) {
        return;
    }
    ::HKEY key = nullptr;
    bool parent = false;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialDeviceMap, 0, KEY_NOTIFY, &key) !=
        ERROR_SUCCESS) {
        if (source.armed) {
            return; // still waiting for the map on its parent
        }
        // DEVICEMAP is made at every boot; should it fail all the same, the next Watch()
        // tries again.
        parent = true;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDeviceMaps, 0, KEY_NOTIFY, &key) !=
            ERROR_SUCCESS) {
            return;
        }
    }
    source.Close();
    source.key = key;
    source.parent = parent;
    source.event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (source.event == nullptr) {
        source.Close();
        return;
    }
    source.Arm();
    if (!source.armed) {
        source.Close();
        return;
    }
    source.notifier = std::make_unique<QWinEventNotifier>(source.event);
    connect(source.notifier.get(), &QWinEventNotifier::activated, this, [this] {
        // Armed again at once; a key that cannot be (the map deleted with its last port) is
        // opened anew by the Watch() that follows the report, as is the map once it appears.
        source_->Arm();
        Changed();
    });
}

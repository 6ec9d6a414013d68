#pragma once

// The Linux lock behind TSleepInhibitor, with the buses it asks as parameters so that tests
// can hand it a bus of their own.

#include "platform/ui/SleepInhibitor.h"

#include <QDBusConnection>
#include <functional>
#include <memory>
#include <optional>

namespace ui {

namespace detail {
struct SleepRequest;
}

class TSleepInhibitor::Lock {
public:
    // A bus is connected when it is first asked: the session bus only where logind fails.
    // None where the session cannot have one.
    using Bus = std::function<std::optional<QDBusConnection>()>;

    // Asks logind on the system bus for a "sleep" block; where that cannot be had, the desktop
    // portal on the session bus. Returns before either answers.
    Lock(const QString& who, const QString& why, Bus system, Bus session);
    // Gives back what was granted, and what is granted later as soon as it arrives.
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    std::shared_ptr<detail::SleepRequest> request_;
};

} // namespace ui

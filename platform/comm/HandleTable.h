#pragma once

// The process-wide table behind the handles of Comm.h: devices and events share one handle
// space, so CloseHandle closes either. Also the thread's last-error code.

#include "platform/base/PiMutex.h"
#include "platform/comm/Comm.h"
#include "platform/ports/PortNames.h"

#include <memory>
#include <mutex>

namespace comm {

class Device;

namespace detail {

struct EventObject {
    bool manualReset = true;
    bool signalled = false;
};

// All events share one lock and one condition, so a wait can watch several of them. The locks
// of this layer inherit priority: the pulse writer takes them at real-time priority.
base::PiMutex& EventMutex();
base::PiCondition& EventCondition();

struct HandleObject {
    std::shared_ptr<Device> device;
    std::shared_ptr<EventObject> event;
    ports::AdapterRates adapter; // devices: the rates the adapter behind them makes
};

// A fresh handle for the object; values are not reused soon, so a stale handle does not
// reach a new object.
HANDLE InsertHandle(HandleObject object);
// Takes the object out of the table; false for a handle that is not in it.
bool RemoveHandle(HANDLE handle, HandleObject& removed);
// The device behind a handle, and when asked, the rates its adapter makes, in one look-up.
std::shared_ptr<Device> FindDevice(HANDLE handle, ports::AdapterRates* adapter = nullptr);
std::shared_ptr<EventObject> FindEvent(HANDLE handle);

// Stores the error as the thread's last error; true for ERROR_SUCCESS.
bool Result(DWORD error);

// Opens a device under a path: one plugged in there (Device.h), else the system's port. On
// failure null, with a non-zero error code.
std::unique_ptr<Device> OpenDevice(const std::string& path, DWORD& error);

} // namespace detail
} // namespace comm

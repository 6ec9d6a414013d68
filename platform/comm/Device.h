#pragma once

// The device backend behind the comm calls. A backend implements Device; the calls in Comm.h
// do the handle bookkeeping, the overlapped blocks and the last-error code around it.
// Backends: the system's own ports (PosixDevice: real ports and pseudo-terminals;
// WindowsDevice: kernel32's comm calls) and SimulatedLine (in-process); what they share is in
// DeviceRules.h.

#include "platform/base/PiMutex.h"
#include "platform/comm/Comm.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace comm {

namespace detail {
struct EventObject;
void SignalEventObject(const std::shared_ptr<EventObject>& event);
} // namespace detail

// The end of one overlapped operation. The first Finish wins and sets the operation's event.
class Completion {
public:
    explicit Completion(std::shared_ptr<detail::EventObject> event);

    void Finish(DWORD error, DWORD bytes, DWORD eventMask = 0);
    bool Done() const;
    DWORD Error() const;
    DWORD Bytes() const;
    DWORD EventMask() const;

private:
    mutable base::PiMutex mutex_;
    std::shared_ptr<detail::EventObject> event_;
    bool done_ = false;
    DWORD error_ = 0;
    DWORD bytes_ = 0;
    DWORD eventMask_ = 0;
};

// One open device. Each call returns ERROR_SUCCESS or another error code of Comm.h; calls may come
// from several threads at once (the user-interface thread and the event thread).
class Device {
public:
    virtual ~Device() = default;

    virtual DWORD SetupComm(DWORD inQueue, DWORD outQueue) = 0;
    virtual DWORD SetCommState(const DCB& dcb) = 0;
    virtual DWORD SetCommTimeouts(const COMMTIMEOUTS& timeouts) = 0;
    virtual DWORD EscapeCommFunction(DWORD function) = 0;
    virtual DWORD PurgeComm(DWORD flags) = 0;
    // Starts a write of a copy of the bytes; the device finishes the completion, possibly
    // before returning. An error return means nothing was started.
    virtual DWORD Write(const BYTE* data, DWORD count, std::shared_ptr<Completion> done) = 0;
    virtual DWORD SetCommMask(DWORD mask) = 0;
    virtual DWORD WaitCommEvent(std::shared_ptr<Completion> done) = 0;
    virtual DWORD ClearCommError(DWORD& errors, COMSTAT& status) = 0;
    virtual DWORD GetCommModemStatus(DWORD& status) = 0;
    // Ends pending operations (ERROR_OPERATION_ABORTED) and releases the device.
    virtual void Close() = 0;
};

// Opens a backend for a path; on failure returns null with the error code set.
using DeviceOpener = std::function<std::unique_ptr<Device>(DWORD& error)>;

// Devices plugged in under a path take precedence over the file system (simulated lines).
void PlugDevice(const std::string& path, DeviceOpener opener);
void UnplugDevice(const std::string& path);

// The system's own ports, one backend file per platform (PosixDevice.cpp, WindowsDevice.cpp):
// the device directory names are opened in unless one is set, and the opener of a path.
std::string SystemDeviceDirectory();
std::unique_ptr<Device> OpenSystemDevice(const std::string& path, DWORD& error);

} // namespace comm

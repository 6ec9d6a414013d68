#include "platform/comm/Comm.h"

#include "platform/comm/Device.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <thread>
#include <vector>

namespace comm {

namespace detail {

struct EventObject {
    bool manualReset = true;
    bool signalled = false;
};

} // namespace detail

namespace {

// All events share one lock and one condition, so a wait can watch several of them.
std::mutex& EventMutex() {
    static std::mutex mutex;
    return mutex;
}
std::condition_variable& EventCondition() {
    static std::condition_variable condition;
    return condition;
}

struct HandleObject {
    std::shared_ptr<Device> device;
    std::shared_ptr<detail::EventObject> event;
};

struct HandleTable {
    std::mutex mutex;
    std::map<HANDLE, HandleObject> objects;
    HANDLE next = 0x100;
    std::string deviceDirectory = "/dev";
    std::map<std::string, DeviceOpener> plugged;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

thread_local DWORD lastError = ERROR_SUCCESS;

HANDLE Insert(HandleObject object) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    // Handle values are not reused soon, so a stale handle does not reach a new object.
    HANDLE handle;
    do {
        handle = table.next++;
        if (table.next == INVALID_HANDLE_VALUE)
            table.next = 0x100;
    } while (table.objects.count(handle) != 0);
    table.objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<Device> FindDevice(HANDLE handle) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(handle);
    if (it == table.objects.end() || !it->second.device)
        return nullptr;
    return it->second.device;
}

std::shared_ptr<detail::EventObject> FindEvent(HANDLE handle) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(handle);
    if (it == table.objects.end() || !it->second.event)
        return nullptr;
    return it->second.event;
}

bool Result(DWORD error) {
    lastError = error;
    return error == ERROR_SUCCESS;
}

// Runs a device call: invalid handles fail with ERROR_INVALID_HANDLE.
template <class Call> bool WithDevice(HANDLE handle, Call&& call) {
    auto device = FindDevice(handle);
    if (!device)
        return Result(ERROR_INVALID_HANDLE);
    return Result(call(*device));
}

// Starts an operation on a block: clears its event and gives it a fresh completion record.
std::shared_ptr<Completion> Begin(OVERLAPPED* overlapped) {
    std::shared_ptr<detail::EventObject> event;
    if (overlapped->hEvent != 0)
        event = FindEvent(overlapped->hEvent);
    if (event) {
        std::lock_guard lock(EventMutex());
        event->signalled = false;
    }
    overlapped->Internal = ERROR_IO_PENDING;
    overlapped->InternalHigh = 0;
    overlapped->EventMaskOut = nullptr;
    overlapped->Pending = std::make_shared<Completion>(event);
    return overlapped->Pending;
}

} // namespace

namespace detail {

void SignalEventObject(const std::shared_ptr<EventObject>& event) {
    if (!event)
        return;
    {
        std::lock_guard lock(EventMutex());
        event->signalled = true;
    }
    EventCondition().notify_all();
}

} // namespace detail

// --- Completion and EventMonitor ---------------------------------------------------------

Completion::Completion(std::shared_ptr<detail::EventObject> event) : event_(std::move(event)) {}

void Completion::Finish(DWORD error, DWORD bytes, DWORD eventMask) {
    {
        std::lock_guard lock(mutex_);
        if (done_)
            return;
        done_ = true;
        error_ = error;
        bytes_ = bytes;
        eventMask_ = eventMask;
    }
    detail::SignalEventObject(event_);
}

bool Completion::Done() const {
    std::lock_guard lock(mutex_);
    return done_;
}
DWORD Completion::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}
DWORD Completion::Bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}
DWORD Completion::EventMask() const {
    std::lock_guard lock(mutex_);
    return eventMask_;
}

DWORD EventMonitor::SetMask(DWORD mask) {
    std::shared_ptr<Completion> ended;
    {
        std::lock_guard lock(mutex_);
        mask_ = mask;
        occurred_ &= mask;
        ended = std::move(wait_);
        wait_.reset();
    }
    if (ended)
        ended->Finish(ERROR_SUCCESS, 0, 0);
    return ERROR_SUCCESS;
}

DWORD EventMonitor::Mask() const {
    std::lock_guard lock(mutex_);
    return mask_;
}

DWORD EventMonitor::StartWait(std::shared_ptr<Completion> done) {
    DWORD events = 0;
    {
        std::lock_guard lock(mutex_);
        if (mask_ == 0 || wait_)
            return ERROR_INVALID_PARAMETER;
        if (occurred_ == 0) {
            wait_ = std::move(done);
            return ERROR_SUCCESS;
        }
        events = occurred_;
        occurred_ = 0;
    }
    done->Finish(ERROR_SUCCESS, 0, events);
    return ERROR_SUCCESS;
}

void EventMonitor::Post(DWORD events) {
    std::shared_ptr<Completion> ended;
    DWORD mask = 0;
    {
        std::lock_guard lock(mutex_);
        events &= mask_;
        if (events == 0)
            return;
        if (wait_) {
            ended = std::move(wait_);
            wait_.reset();
            mask = events | occurred_;
            occurred_ = 0;
        } else {
            occurred_ |= events;
        }
    }
    if (ended)
        ended->Finish(ERROR_SUCCESS, 0, mask);
}

void EventMonitor::Fail(DWORD error) {
    std::shared_ptr<Completion> ended;
    {
        std::lock_guard lock(mutex_);
        ended = std::move(wait_);
        wait_.reset();
        occurred_ = 0;
    }
    if (ended)
        ended->Finish(error, 0, 0);
}

// --- Device directory and plugged devices --------------------------------------------------

void SetDeviceDirectory(const std::string& directory) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    table.deviceDirectory = directory;
}

std::string DeviceDirectory() {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    return table.deviceDirectory;
}

std::string DevicePath(const std::string& name) {
    return DeviceDirectory() + "/" + name;
}

void PlugDevice(const std::string& path, DeviceOpener opener) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    table.plugged[path] = std::move(opener);
}

void UnplugDevice(const std::string& path) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    table.plugged.erase(path);
}

// --- Calls ----------------------------------------------------------------------------------

DWORD GetLastError() {
    return lastError;
}
void SetLastError(DWORD error) {
    lastError = error;
}

HANDLE CreateFileA(const std::string& path, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
    DeviceOpener opener;
    {
        auto& table = Table();
        std::lock_guard lock(table.mutex);
        auto it = table.plugged.find(path);
        if (it != table.plugged.end())
            opener = it->second;
    }
    DWORD error = ERROR_SUCCESS;
    std::unique_ptr<Device> device = opener ? opener(error) : OpenPosixDevice(path, error);
    if (!device) {
        lastError = error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
        return INVALID_HANDLE_VALUE;
    }
    HandleObject object;
    object.device = std::move(device);
    HANDLE handle = Insert(std::move(object));
    lastError = ERROR_SUCCESS;
    return handle;
}

bool CloseHandle(HANDLE handle) {
    HandleObject object;
    {
        auto& table = Table();
        std::lock_guard lock(table.mutex);
        auto it = table.objects.find(handle);
        if (it == table.objects.end())
            return Result(ERROR_INVALID_HANDLE);
        object = std::move(it->second);
        table.objects.erase(it);
    }
    if (object.device)
        object.device->Close();
    return Result(ERROR_SUCCESS);
}

bool SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) {
    return WithDevice(device, [&](Device& d) { return d.SetupComm(inQueue, outQueue); });
}

bool SetCommState(HANDLE device, const DCB* dcb) {
    if (dcb == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    return WithDevice(device, [&](Device& d) { return d.SetCommState(*dcb); });
}

bool GetCommState(HANDLE device, DCB* dcb) {
    if (dcb == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    return WithDevice(device, [&](Device& d) { return d.GetCommState(*dcb); });
}

bool SetCommTimeouts(HANDLE device, const COMMTIMEOUTS* timeouts) {
    if (timeouts == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    return WithDevice(device, [&](Device& d) { return d.SetCommTimeouts(*timeouts); });
}

bool GetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) {
    if (timeouts == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    return WithDevice(device, [&](Device& d) { return d.GetCommTimeouts(*timeouts); });
}

bool EscapeCommFunction(HANDLE device, DWORD function) {
    return WithDevice(device, [&](Device& d) { return d.EscapeCommFunction(function); });
}

bool PurgeComm(HANDLE device, DWORD flags) {
    return WithDevice(device, [&](Device& d) { return d.PurgeComm(flags); });
}

bool WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written,
               OVERLAPPED* overlapped) {
    if (written != nullptr)
        *written = 0;
    auto device = FindDevice(handle);
    if (!device)
        return Result(ERROR_INVALID_HANDLE);
    if (overlapped == nullptr || (buffer == nullptr && count != 0))
        return Result(ERROR_INVALID_PARAMETER);
    auto done = Begin(overlapped);
    DWORD error = device->Write(static_cast<const BYTE*>(buffer), count, done);
    if (error != ERROR_SUCCESS) {
        // Nothing was started: the operation has ended, so a wait on its event returns.
        done->Finish(error, 0);
        overlapped->Internal = error;
        return Result(error);
    }
    if (done->Done() && done->Error() == ERROR_SUCCESS) {
        overlapped->Internal = ERROR_SUCCESS;
        overlapped->InternalHigh = done->Bytes();
        if (written != nullptr)
            *written = done->Bytes();
        return Result(ERROR_SUCCESS);
    }
    lastError = ERROR_IO_PENDING;
    return false;
}

bool GetOverlappedResult(HANDLE handle, OVERLAPPED* overlapped, DWORD* transferred, bool wait) {
    if (transferred != nullptr)
        *transferred = 0;
    if (overlapped == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    auto done = overlapped->Pending;
    if (!done) {
        // No operation was started on the block: its last status stands.
        if (overlapped->Internal != ERROR_SUCCESS)
            return Result(static_cast<DWORD>(overlapped->Internal));
        if (transferred != nullptr)
            *transferred = static_cast<DWORD>(overlapped->InternalHigh);
        return Result(ERROR_SUCCESS);
    }
    if (!done->Done()) {
        if (!wait)
            return Result(ERROR_IO_INCOMPLETE);
        if (WaitForSingleObject(overlapped->hEvent, INFINITE) != WAIT_OBJECT_0)
            return false;
        while (!done->Done())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    (void)handle;
    overlapped->Internal = done->Error();
    overlapped->InternalHigh = done->Bytes();
    if (overlapped->EventMaskOut != nullptr && done->Error() == ERROR_SUCCESS)
        *overlapped->EventMaskOut = done->EventMask();
    if (transferred != nullptr)
        *transferred = done->Bytes();
    return Result(done->Error());
}

bool SetCommMask(HANDLE device, DWORD mask) {
    return WithDevice(device, [&](Device& d) { return d.SetCommMask(mask); });
}

bool GetCommMask(HANDLE device, DWORD* mask) {
    if (mask == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    return WithDevice(device, [&](Device& d) { return d.GetCommMask(*mask); });
}

bool WaitCommEvent(HANDLE handle, DWORD* eventMask, OVERLAPPED* overlapped) {
    auto device = FindDevice(handle);
    if (!device)
        return Result(ERROR_INVALID_HANDLE);
    if (eventMask == nullptr || overlapped == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    *eventMask = 0;
    auto done = Begin(overlapped);
    DWORD error = device->WaitCommEvent(done);
    if (error != ERROR_SUCCESS) {
        overlapped->Pending.reset();
        overlapped->Internal = error;
        return Result(error);
    }
    overlapped->EventMaskOut = eventMask;
    if (done->Done() && done->Error() == ERROR_SUCCESS) {
        *eventMask = done->EventMask();
        return Result(ERROR_SUCCESS);
    }
    lastError = ERROR_IO_PENDING;
    return false;
}

bool ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status) {
    DWORD flags = 0;
    COMSTAT stat{};
    bool ok = WithDevice(device, [&](Device& d) { return d.ClearCommError(flags, stat); });
    if (ok) {
        if (errors != nullptr)
            *errors = flags;
        if (status != nullptr)
            *status = stat;
    }
    return ok;
}

bool GetCommModemStatus(HANDLE device, DWORD* modemStatus) {
    if (modemStatus == nullptr)
        return Result(ERROR_INVALID_PARAMETER);
    return WithDevice(device, [&](Device& d) { return d.GetCommModemStatus(*modemStatus); });
}

HANDLE CreateEventA(void*, bool manualReset, bool initialState, const char*) {
    HandleObject object;
    object.event = std::make_shared<detail::EventObject>();
    object.event->manualReset = manualReset;
    object.event->signalled = initialState;
    lastError = ERROR_SUCCESS;
    return Insert(std::move(object));
}

bool SetEvent(HANDLE event) {
    auto object = FindEvent(event);
    if (!object)
        return Result(ERROR_INVALID_HANDLE);
    detail::SignalEventObject(object);
    return Result(ERROR_SUCCESS);
}

bool ResetEvent(HANDLE event) {
    auto object = FindEvent(event);
    if (!object)
        return Result(ERROR_INVALID_HANDLE);
    std::lock_guard lock(EventMutex());
    object->signalled = false;
    return Result(ERROR_SUCCESS);
}

DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &event, false, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* events, bool waitAll, DWORD milliseconds) {
    if (count == 0 || events == nullptr || waitAll) {
        lastError = ERROR_INVALID_PARAMETER;
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<detail::EventObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = FindEvent(events[i]);
        if (!object) {
            lastError = ERROR_INVALID_HANDLE;
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(EventMutex());
    for (;;) {
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->signalled) {
                if (!objects[i]->manualReset)
                    objects[i]->signalled = false;
                return WAIT_OBJECT_0 + i;
            }
        }
        if (milliseconds == INFINITE) {
            EventCondition().wait(lock);
        } else if (EventCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            bool any = false;
            for (auto& object : objects)
                any = any || object->signalled;
            if (!any)
                return WAIT_TIMEOUT;
        }
    }
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace comm

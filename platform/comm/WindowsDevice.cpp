// Windows backend: the system's own ports are kernel32's comm calls themselves, and their
// error codes are this layer's codes as they stand.
//
// The layer's operations end through its own completion records (Device.h), so every
// overlapped write and event wait of the system is a block of its own, kept here until the
// system has ended it; one waiter thread per device watches the blocks' events and finishes the
// records with what GetOverlappedResult says.
//
// <windows.h> defines macros for many names this layer also has (ERROR_*, EV_*, DCB fields):
// it comes after the layer's headers, and the system's types and calls are spelled with "::".

#include "platform/base/Change.h"
#include "platform/comm/Device.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Spelled here, outside the layer's namespace, where the macro's HANDLE is the system's.
static const ::HANDLE kInvalidHandle = INVALID_HANDLE_VALUE;

namespace comm {
namespace {

// The layer's blocks are the system's, with the DCB's flag bits and COMSTAT's as one word.
static_assert(sizeof(DCB) == sizeof(::DCB) && offsetof(DCB, XonLim) == offsetof(::DCB, XonLim) &&
              offsetof(DCB, EvtChar) == offsetof(::DCB, EvtChar));
static_assert(sizeof(COMSTAT) == sizeof(::COMSTAT) &&
              offsetof(COMSTAT, cbInQue) == offsetof(::COMSTAT, cbInQue));

// How long Close waits for the system to end an operation it cancelled before giving the
// operation's memory up to it.
constexpr ::DWORD kCancelGraceMs = 1000;

// One overlapped operation of the system. The block, its event, the bytes of a write and the
// mask word of a wait stay where they are until the system has ended it.
struct Operation {
    Operation() { overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~Operation() {
        if (overlapped.hEvent != nullptr) {
            ::CloseHandle(overlapped.hEvent);
        }
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    ::OVERLAPPED overlapped{};
    std::vector<BYTE> data;
    ::DWORD mask = 0;
    bool wait = false;
    std::shared_ptr<Completion> done;
};

class WindowsDevice final : public Device {
public:
    // Takes an open port, the name it is known by ("COM9"), and an auto-reset event.
    WindowsDevice(::HANDLE port, std::string name, ::HANDLE wake)
        : port_(port), name_(std::move(name)), wake_(wake), waiter_([this] { Waiter(); }) {}
    ~WindowsDevice() override { Close(); }

    DWORD SetupComm(DWORD inQueue, DWORD outQueue) override {
        return Call([&] { return ::SetupComm(port_, inQueue, outQueue); });
    }

    DWORD SetCommState(const DCB& dcb) override {
        ::DCB system;
        std::memcpy(&system, &dcb, sizeof system);
        return Call([&] { return ::SetCommState(port_, &system); });
    }

    DWORD SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
        ::COMMTIMEOUTS system{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                              timeouts.ReadTotalTimeoutConstant,
                              timeouts.WriteTotalTimeoutMultiplier,
                              timeouts.WriteTotalTimeoutConstant};
        return Call([&] { return ::SetCommTimeouts(port_, &system); });
    }

    DWORD EscapeCommFunction(DWORD function) override {
        return Call([&] { return ::EscapeCommFunction(port_, function); });
    }

    DWORD PurgeComm(DWORD flags) override {
        return Call([&] { return ::PurgeComm(port_, flags); });
    }

    DWORD Write(const BYTE* data, DWORD count, std::shared_ptr<Completion> done) override {
        auto operation = std::make_unique<Operation>();
        operation->data.assign(data, data + count);
        operation->done = std::move(done);
        std::lock_guard lock(mutex_);
        if (DWORD error = Admit(*operation)) {
            return error;
        }
        const BOOL ended =
            ::WriteFile(port_, operation->data.data(), count, nullptr, &operation->overlapped);
        return Started(std::move(operation), ended);
    }

    DWORD SetCommMask(DWORD mask) override {
        return Call([&] {
            if (!::SetCommMask(port_, mask)) {
                return false;
            }
            // The pending wait ends now with no events, as the layer promises; Wine ends it
            // with ERROR_OPERATION_ABORTED instead, and the system's end that follows is
            // ignored.
            for (const auto& operation : pending_) {
                if (operation->wait) {
                    operation->done->Finish(ERROR_SUCCESS, 0, 0);
                }
            }
            return true;
        });
    }

    DWORD WaitCommEvent(std::shared_ptr<Completion> done) override {
        auto operation = std::make_unique<Operation>();
        operation->wait = true;
        operation->done = std::move(done);
        std::lock_guard lock(mutex_);
        if (DWORD error = Admit(*operation)) {
            return error;
        }
        const BOOL ended = ::WaitCommEvent(port_, &operation->mask, &operation->overlapped);
        return Started(std::move(operation), ended);
    }

    DWORD ClearCommError(DWORD& errors, COMSTAT& status) override {
        ::DWORD flags = 0;
        ::COMSTAT system{};
        const DWORD error = Call([&] { return ::ClearCommError(port_, &flags, &system); });
        if (error == ERROR_SUCCESS) {
            errors = flags;
            std::memcpy(&status, &system, sizeof status);
        }
        return error;
    }

    DWORD GetCommModemStatus(DWORD& status) override {
        ::DWORD system = 0;
        const DWORD error = Call([&] { return ::GetCommModemStatus(port_, &system); });
        if (error == ERROR_SUCCESS) {
            status = system;
        }
        return error;
    }

    void Close() override {
        {
            std::lock_guard lock(mutex_);
            if (!base::Change(closed_, true)) {
                return;
            }
            for (const auto& operation : pending_) {
                operation->done->Finish(ERROR_OPERATION_ABORTED, 0);
            }
        }
        ::CancelIoEx(port_, nullptr);
        ::SetEvent(wake_);
        waiter_.join();
        ::CloseHandle(port_);
        // An operation the system never ends keeps its memory: the system may still write it.
        for (auto& operation : pending_) {
            if (::WaitForSingleObject(operation->overlapped.hEvent, kCancelGraceMs) !=
                WAIT_OBJECT_0) {
                static_cast<void>(operation.release());
            }
        }
        pending_.clear();
        ::CloseHandle(wake_);
    }

private:
    // Runs a system call on the port unless it is closed: Close waits for a call that is
    // running, and none starts after it.
    template <class SystemCall> DWORD Call(SystemCall&& call) {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return ERROR_INVALID_HANDLE;
        }
        return call() ? ERROR_SUCCESS : Failure();
    }

    // The error of the call that just failed. On a port whose name has gone (an adapter pulled
    // out) every call fails, with whatever code its driver gives: that is ERROR_DEVICE_REMOVED.
    DWORD Failure() const {
        const ::DWORD error = ::GetLastError();
        char target[MAX_PATH];
        if (error != ERROR_IO_PENDING && !name_.empty() &&
            ::QueryDosDeviceA(name_.c_str(), target, MAX_PATH) == 0 &&
            ::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return ERROR_DEVICE_REMOVED;
        }
        return error;
    }

    // Whether another operation may start; with the lock held.
    DWORD Admit(const Operation& operation) const {
        if (closed_) {
            return ERROR_INVALID_HANDLE;
        }
        if (operation.overlapped.hEvent == nullptr) {
            return ::GetLastError();
        }
        // The waiter watches the pending blocks and its wake event in one wait.
        if (pending_.size() + 1 >= MAXIMUM_WAIT_OBJECTS) {
            return ERROR_NO_SYSTEM_RESOURCES;
        }
        return ERROR_SUCCESS;
    }

    // After the system call that started an operation; with the lock held.
    DWORD Started(std::unique_ptr<Operation> operation, BOOL ended) {
        if (ended) {
            Finish(*operation);
            return ERROR_SUCCESS;
        }
        const DWORD error = Failure();
        if (error != ERROR_IO_PENDING) {
            return error;
        }
        pending_.push_back(std::move(operation));
        ::SetEvent(wake_);
        return ERROR_SUCCESS;
    }

    // The system has ended the operation: its record takes the outcome.
    void Finish(Operation& operation) {
        ::DWORD bytes = 0;
        if (!::GetOverlappedResult(port_, &operation.overlapped, &bytes, FALSE)) {
            operation.done->Finish(Failure(), 0);
        } else if (operation.wait) {
            operation.done->Finish(ERROR_SUCCESS, 0, operation.mask);
        } else {
            operation.done->Finish(ERROR_SUCCESS, bytes);
        }
    }

    void Waiter() {
        std::vector<::HANDLE> events;
        for (;;) {
            events.assign(1, wake_);
            {
                std::lock_guard lock(mutex_);
                if (closed_) {
                    return;
                }
                for (const auto& operation : pending_) {
                    events.push_back(operation->overlapped.hEvent);
                }
            }
            // Only this thread removes operations until Close has joined it, so the events
            // stay valid while it waits.
            ::WaitForMultipleObjects(::DWORD(events.size()), events.data(), FALSE, INFINITE);
            std::lock_guard lock(mutex_);
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (::WaitForSingleObject((*it)->overlapped.hEvent, 0) == WAIT_OBJECT_0) {
                    Finish(**it);
                    it = pending_.erase(it);
                } else {
                    ++it;
                }
            }
        }
    }

    const ::HANDLE port_;
    const std::string name_;
    const ::HANDLE wake_;
    std::mutex mutex_;
    bool closed_ = false;
    std::vector<std::unique_ptr<Operation>> pending_;
    std::thread waiter_;
};

// The DOS device name a path leads to ("\\.\COM9" gives COM9), when the system knows it by
// that name; empty otherwise.
std::string DosName(const std::string& path) {
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    char target[MAX_PATH];
    return !name.empty() && ::QueryDosDeviceA(name.c_str(), target, MAX_PATH) != 0 ? name
                                                                                   : std::string();
}

} // namespace

std::string SystemDeviceDirectory() {
    return "\\\\.\\";
}

std::unique_ptr<Device> OpenSystemDevice(const std::string& path, DWORD& error) {
    const ::HANDLE port = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == kInvalidHandle) {
        error = ::GetLastError();
        return nullptr;
    }
    const ::HANDLE wake = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (wake == nullptr) {
        error = ::GetLastError();
        ::CloseHandle(port);
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<WindowsDevice>(port, DosName(path), wake);
}

} // namespace comm

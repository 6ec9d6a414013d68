// Windows backend: the system's own ports are kernel32's comm calls themselves, and their
// error codes are this layer's codes as they stand: a pulled adapter's driver answers with a
// code of its own (serial-class drivers ERROR_ACCESS_DENIED for a device pending deletion,
// others ERROR_BAD_COMMAND, ERROR_GEN_FAILURE, ERROR_OPERATION_ABORTED), and the serial
// component judges what follows from the write that failed, not from a code of this layer's.
//
// The layer's operations end through its own completion records (Device.h), so every
// overlapped write and event wait of the system is a block of its own, kept here until the
// system has ended it. One waiter thread per device watches the blocks' events, and it stays
// for a reason the system cannot take over: Windows ends a write when the driver has taken the
// bytes ("copied to the serial device"), while this layer's write ends when they are on the
// line (LineDrain in DeviceRules.h, as the POSIX backend's writes), which the waiter times on a
// waitable timer. It runs at the pulse writer's time-critical priority, as every write's end
// passes through it and Windows' user-mode locks do not lend a waiting thread's priority.
//
// <windows.h> defines macros for many names this layer also has (ERROR_*, EV_*, DCB fields):
// it comes after the layer's headers, and the system's types and calls are spelled with "::".

#include "platform/base/Change.h"
#include "platform/comm/Device.h"
#include "platform/comm/DeviceRules.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// Spelled here, outside the layer's namespace, where the macro's HANDLE is the system's.
static const ::HANDLE kInvalidHandle = INVALID_HANDLE_VALUE;

namespace comm {
namespace {

// The layer's blocks are the system's, with the DCB's flag bits and COMSTAT's as one word.
static_assert(sizeof(DCB) == sizeof(::DCB) && offsetof(DCB, XonLim) == offsetof(::DCB, XonLim) &&
              offsetof(DCB, EvtChar) == offsetof(::DCB, EvtChar));
static_assert(sizeof(COMSTAT) == sizeof(::COMSTAT) &&
              offsetof(COMSTAT, cbInQue) == offsetof(::COMSTAT, cbInQue));

// How long Close waits for the system to end the operations it cancelled before giving their
// memory up to it.
constexpr auto kCancelGrace = std::chrono::milliseconds(1000);

// Closes a system handle with its owner.
struct SystemHandle {
    explicit SystemHandle(::HANDLE h = nullptr) : handle(h) {}
    ~SystemHandle() {
        if (handle != nullptr && handle != kInvalidHandle) {
            ::CloseHandle(handle);
        }
    }
    SystemHandle(const SystemHandle&) = delete;
    SystemHandle& operator=(const SystemHandle&) = delete;
    ::HANDLE handle;
};

// A waitable timer for the waiter's timed wakes: high-resolution where the system has it
// (Windows 10 1803 on; Wine takes the flag and fires on the millisecond anyway), else an
// ordinary one.
::HANDLE CreateWakeTimer() {
    ::HANDLE timer = ::CreateWaitableTimerExW(
        nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    return timer != nullptr ? timer
                            : ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

// One overlapped operation of the system. The block, its event, the bytes of a write and the
// mask word of a wait stay where they are until the system has ended it.
struct Operation {
    Operation() {
        overlapped.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (overlapped.hEvent == nullptr) {
            // Kept at once: the code is lost to the next call that fails.
            eventError = ::GetLastError();
        }
    }
    ~Operation() {
        if (overlapped.hEvent != nullptr) {
            ::CloseHandle(overlapped.hEvent);
        }
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    ::OVERLAPPED overlapped{};
    ::DWORD eventError = ERROR_SUCCESS;
    std::vector<BYTE> data;
    ::DWORD mask = 0;
    bool wait = false;
    Clock::time_point started;
    std::shared_ptr<Completion> done;
    // A write the system has ended, until its bytes are on the line; their count.
    std::optional<LineDrain> drain;
    ::DWORD bytes = 0;
};

class WindowsDevice final : public Device {
public:
    // Takes an open port, an auto-reset event and a waitable timer; Start begins the watch.
    WindowsDevice(::HANDLE port, ::HANDLE wake, ::HANDLE timer)
        : port_(port), wake_(wake), timer_(timer) {}
    ~WindowsDevice() override { Close(); }

    // Starts the waiter thread; the device is unusable without it (std::system_error).
    void Start() {
        waiter_ = std::thread([this] { Waiter(); });
    }

    DWORD SetupComm(DWORD inQueue, DWORD outQueue) override {
        return Call([&] { return ::SetupComm(port_, inQueue, outQueue); });
    }

    DWORD SetCommState(const DCB& dcb) override {
        ::DCB system;
        std::memcpy(&system, &dcb, sizeof system);
        return Call([&] {
            if (!::SetCommState(port_, &system)) {
                return false;
            }
            characterTime_ = CharacterTime(dcb);
            return true;
        });
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
        return Call([&] {
            if (!::PurgeComm(port_, flags)) {
                return false;
            }
            // The system ends the writes it still has as aborted; those it has ended already
            // but whose bytes this layer still waits for end the same way.
            if ((flags & PURGE_TXABORT) != 0) {
                EndDrainingWrites(ERROR_OPERATION_ABORTED);
            }
            return true;
        });
    }

    DWORD Write(const BYTE* data, DWORD count, std::shared_ptr<Completion> done) override {
        auto operation = std::make_unique<Operation>();
        operation->data.assign(data, data + count);
        operation->done = std::move(done);
        std::lock_guard lock(mutex_);
        if (DWORD error = Admit(*operation)) {
            return error;
        }
        operation->started = Clock::now();
        const BOOL ended =
            ::WriteFile(port_, operation->data.data(), count, nullptr, &operation->overlapped);
        return Started(std::move(operation), ended);
    }

    DWORD SetCommMask(DWORD mask) override {
        return Call([&] { return ::SetCommMask(port_, mask); });
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
        const DWORD error = Call([&] {
            if (!::ClearCommError(port_, &flags, &system)) {
                return false;
            }
            flags |= std::exchange(readErrors_, 0);
            return true;
        });
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
            closing_ = Clock::now() + kCancelGrace;
            EndDrainingWrites(ERROR_OPERATION_ABORTED);
        }
        // The system ends what it has pending as aborted; the waiter hands those ends on.
        ::CancelIoEx(port_, nullptr);
        if (waiter_.joinable()) {
            ::SetEvent(wake_);
            waiter_.join();
        }
        // An operation the system did not end within the grace keeps its memory, as the system
        // may still write it; its record ends here, so that no caller waits for ever on a
        // driver that never ends a cancelled operation.
        for (auto& operation : pending_) {
            operation->done->Finish(ERROR_OPERATION_ABORTED, 0);
            static_cast<void>(operation.release());
        }
        pending_.clear();
        ::CloseHandle(port_);
        ::CloseHandle(timer_);
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
        return call() ? ERROR_SUCCESS : DWORD(::GetLastError());
    }

    // Whether another operation may start; with the lock held.
    DWORD Admit(const Operation& operation) const {
        if (closed_) {
            return ERROR_INVALID_HANDLE;
        }
        if (operation.overlapped.hEvent == nullptr) {
            return operation.eventError;
        }
        if (waitFailure_ != ERROR_SUCCESS) {
            return waitFailure_;
        }
        // The waiter watches the pending blocks, its wake event and its timer in one wait.
        if (pending_.size() + 2 >= MAXIMUM_WAIT_OBJECTS) {
            return ERROR_NO_SYSTEM_RESOURCES;
        }
        return ERROR_SUCCESS;
    }

    // After the system call that started an operation; with the lock held.
    DWORD Started(std::unique_ptr<Operation> operation, BOOL ended) {
        if (!ended) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING) {
                return error;
            }
            pending_.push_back(std::move(operation));
        } else if (Ended(*operation)) {
            draining_.push_back(std::move(operation));
        }
        ::SetEvent(wake_);
        return ERROR_SUCCESS;
    }

    // The system has ended the operation: a wait's record takes the outcome, a write's when its
    // bytes are on the line (true: it waits for that now). With the lock held.
    bool Ended(Operation& operation) {
        ::DWORD bytes = 0;
        if (!::GetOverlappedResult(port_, &operation.overlapped, &bytes, FALSE)) {
            operation.done->Finish(::GetLastError(), 0);
            return false;
        }
        if (operation.wait) {
            operation.done->Finish(ERROR_SUCCESS, 0, operation.mask);
            return false;
        }
        operation.bytes = bytes;
        operation.drain.emplace(operation.started, characterTime_ * bytes);
        return true;
    }

    // Ends the writes whose bytes are on the line; how long until the next check, if any is
    // left. With the lock held.
    std::optional<Clock::duration> Drain() {
        if (draining_.empty()) {
            return std::nullopt;
        }
        // A device that does not tell its queue (no serial driver, or one gone) leaves the line
        // time alone to judge; a gone device fails the next write.
        ::DWORD flags = 0;
        ::COMSTAT status{};
        if (!::ClearCommError(port_, &flags, &status)) {
            status.cbOutQue = 0;
        }
        // The call clears the line's error flags: they are kept for the caller's next read.
        readErrors_ |= flags;
        std::optional<Clock::duration> next;
        const auto now = Clock::now();
        for (auto it = draining_.begin(); it != draining_.end();) {
            if (const auto left = (*it)->drain->Left(status.cbOutQue, now)) {
                next = next ? std::min(*next, *left) : *left;
                ++it;
            } else {
                (*it)->done->Finish(ERROR_SUCCESS, (*it)->bytes);
                it = draining_.erase(it);
            }
        }
        return next;
    }

    void EndDrainingWrites(DWORD error) {
        for (const auto& operation : draining_) {
            operation->done->Finish(error, 0);
        }
        draining_.clear();
    }

    void Waiter() {
        // Every write's end passes through here: the pulse writer's priority.
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        std::vector<::HANDLE> events;
        for (;;) {
            ::DWORD timeout = INFINITE;
            events.assign({wake_, timer_});
            {
                std::lock_guard lock(mutex_);
                if (closed_ && (pending_.empty() || Clock::now() >= closing_)) {
                    return;
                }
                if (closed_) {
                    timeout = ::DWORD(
                        std::chrono::ceil<std::chrono::milliseconds>(closing_ - Clock::now())
                            .count());
                }
                if (const auto next = Drain()) {
                    // Relative due times are negative, in 100 ns units.
                    ::LARGE_INTEGER due;
                    due.QuadPart = -std::max<long long>(
                        1,
                        std::chrono::duration_cast<std::chrono::nanoseconds>(*next).count() / 100);
                    ::SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE);
                }
                for (const auto& operation : pending_) {
                    events.push_back(operation->overlapped.hEvent);
                }
            }
            // Only this thread removes pending operations until Close has joined it, so the
            // events stay valid while it waits.
            const ::DWORD woken =
                ::WaitForMultipleObjects(::DWORD(events.size()), events.data(), FALSE, timeout);
            std::lock_guard lock(mutex_);
            if (woken == WAIT_FAILED) {
                // Nothing to wait on any more: what is pending ends with the system's code,
                // and further operations are refused with it.
                waitFailure_ = ::GetLastError();
                for (const auto& operation : pending_) {
                    operation->done->Finish(waitFailure_, 0);
                }
                EndDrainingWrites(waitFailure_);
                return;
            }
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (::WaitForSingleObject((*it)->overlapped.hEvent, 0) != WAIT_OBJECT_0) {
                    ++it;
                    continue;
                }
                if (Ended(**it)) {
                    draining_.push_back(std::move(*it));
                }
                it = pending_.erase(it);
            }
        }
    }

    const ::HANDLE port_;
    const ::HANDLE wake_;
    const ::HANDLE timer_;
    std::mutex mutex_;
    bool closed_ = false;
    Clock::time_point closing_;
    ::DWORD waitFailure_ = ERROR_SUCCESS;
    ::DWORD readErrors_ = 0; // line errors the waiter's queue checks read
    std::chrono::nanoseconds characterTime_{};
    std::vector<std::unique_ptr<Operation>> pending_;
    std::vector<std::unique_ptr<Operation>> draining_;
    std::thread waiter_;
};

} // namespace

std::string SystemDeviceDirectory() {
    return "\\\\.\\";
}

std::unique_ptr<Device> OpenSystemDevice(const std::string& path, DWORD& error) {
    SystemHandle port(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (port.handle == kInvalidHandle) {
        error = ::GetLastError();
        return nullptr;
    }
    SystemHandle wake(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (wake.handle == nullptr) {
        error = ::GetLastError();
        return nullptr;
    }
    SystemHandle timer(CreateWakeTimer());
    if (timer.handle == nullptr) {
        error = ::GetLastError();
        return nullptr;
    }
    auto device = std::make_unique<WindowsDevice>(std::exchange(port.handle, nullptr),
                                                  std::exchange(wake.handle, nullptr),
                                                  std::exchange(timer.handle, nullptr));
    try {
        device->Start();
    } catch (const std::system_error&) {
        error = ERROR_NO_SYSTEM_RESOURCES;
        return nullptr; // the device closes its handles
    }
    error = ERROR_SUCCESS;
    return device;
}

} // namespace comm

// Event objects: the manual- and auto-reset events of the handle table, the waits on them, and
// the completion records whose end sets an operation's event.

#include "platform/comm/Device.h"
#include "platform/comm/HandleTable.h"

#include <chrono>
#include <thread>
#include <vector>

namespace comm {

namespace detail {

void SignalEventObject(const std::shared_ptr<EventObject>& event) {
    if (!event) {
        return;
    }
    {
        std::lock_guard lock(EventMutex());
        event->signalled = true;
    }
    EventCondition().notify_all();
}

} // namespace detail

Completion::Completion(std::shared_ptr<detail::EventObject> event) : event_(std::move(event)) {}

void Completion::Finish(DWORD error, DWORD bytes, DWORD eventMask) {
    {
        std::lock_guard lock(mutex_);
        if (done_) {
            return;
        }
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

HANDLE CreateEventA(void*, bool manualReset, bool initialState, const char*) {
    detail::HandleObject object;
    object.event = std::make_shared<detail::EventObject>();
    object.event->manualReset = manualReset;
    object.event->signalled = initialState;
    detail::Result(ERROR_SUCCESS);
    return detail::InsertHandle(std::move(object));
}

bool SetEvent(HANDLE event) {
    auto object = detail::FindEvent(event);
    if (!object) {
        return detail::Result(ERROR_INVALID_HANDLE);
    }
    detail::SignalEventObject(object);
    return detail::Result(ERROR_SUCCESS);
}

bool ResetEvent(HANDLE event) {
    auto object = detail::FindEvent(event);
    if (!object) {
        return detail::Result(ERROR_INVALID_HANDLE);
    }
    std::lock_guard lock(detail::EventMutex());
    object->signalled = false;
    return detail::Result(ERROR_SUCCESS);
}

DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &event, false, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* events, bool waitAll, DWORD milliseconds) {
    if (count == 0 || events == nullptr || waitAll) {
        detail::Result(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<detail::EventObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = detail::FindEvent(events[i]);
        if (!object) {
            detail::Result(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(detail::EventMutex());
    for (;;) {
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->signalled) {
                if (!objects[i]->manualReset) {
                    objects[i]->signalled = false;
                }
                return WAIT_OBJECT_0 + i;
            }
        }
        if (milliseconds == INFINITE) {
            detail::EventCondition().wait(lock);
        } else if (detail::EventCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            bool any = false;
            for (auto& object : objects) {
                any = any || object->signalled;
            }
            if (!any) {
                return WAIT_TIMEOUT;
            }
        }
    }
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

} // namespace comm

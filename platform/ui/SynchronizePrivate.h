#pragma once

// The request queue behind the synchronise call, shared with the notify window and the
// thread object, and the count the tests and measurements read.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace ui {

bool IsUIThread();

// How many synchronise calls other threads have made so far.
std::uint64_t SynchronizeCalls();

// Waits until done() holds. On the UI thread, pending requests are served meanwhile. done() is
// evaluated under the requests' lock: make it true inside NotifyWaiters.
void WaitServing(const std::function<bool()>& done);
void NotifyWaiters(const std::function<void()>& change);

namespace detail {

// A request from another thread. The sender waits until it is released: when the work has
// ended, or earlier when the work releases it itself (ReplyMessage).
struct Request {
    std::function<void(Request&)> work;
    bool released = false;
    std::intptr_t result = 0;
    std::exception_ptr error;
};

// Queues the request for the UI thread and waits until it is released.
void SendRequest(const std::shared_ptr<Request>& request);
// Releases the sender with a result; false when it had been released already.
bool Release(Request& request, std::intptr_t result);

} // namespace detail
} // namespace ui

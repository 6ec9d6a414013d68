#pragma once

// Work handed from other threads to the user-interface thread (the thread of the application
// object): the synchronise call and sent messages (NotifyWindow.h). The UI thread runs such
// requests from its event loop, and also while it waits for a thread to end (WaitServing), so
// a thread that is waiting for the UI thread can always finish.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace ui {

bool IsUIThread();

// Runs work on the UI thread while the calling thread waits; an exception the work raises is
// raised again in the caller. Called on the UI thread, it runs the work at once.
void Synchronize(const std::function<void()>& work);

// How many synchronise calls other threads have made so far (for tests and measurements).
std::uint64_t SynchronizeCalls();

// Runs the requests that other threads are waiting for. Returns how many it ran.
int CheckSynchronize();

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

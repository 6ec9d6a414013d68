#include "platform/ui/Synchronize.h"

#include "platform/ui/SynchronizePrivate.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace ui {
namespace {

struct Requests {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<detail::Request>> queue;
};

std::atomic<std::uint64_t> synchronizeCalls{0};

Requests& Pending() {
    static Requests requests;
    return requests;
}

void Run(const std::shared_ptr<detail::Request>& request) {
    try {
        request->work(*request);
    } catch (...) {
        std::lock_guard lock(Pending().mutex);
        if (!request->released) {
            request->error = std::current_exception();
        }
    }
    {
        std::lock_guard lock(Pending().mutex);
        request->released = true;
    }
    Pending().changed.notify_all();
}

// Runs the requests that other threads are waiting for.
void CheckSynchronize() {
    for (;;) {
        std::shared_ptr<detail::Request> request;
        {
            std::lock_guard lock(Pending().mutex);
            if (Pending().queue.empty()) {
                return;
            }
            request = std::move(Pending().queue.front());
            Pending().queue.pop_front();
        }
        Run(request);
    }
}

} // namespace

bool IsUIThread() {
    auto* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

void Synchronize(const std::function<void()>& work) {
    if (IsUIThread()) {
        work();
        return;
    }
    ++synchronizeCalls;
    auto request = std::make_shared<detail::Request>();
    request->work = [&work](detail::Request&) { work(); };
    detail::SendRequest(request);
    // The error leaves the request under the lock, so that the UI thread's reference to the
    // request holds none of it and the exception object ends its life on this thread.
    std::exception_ptr error;
    {
        std::lock_guard lock(Pending().mutex);
        error = std::move(request->error);
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

std::uint64_t SynchronizeCalls() {
    return synchronizeCalls;
}

void WaitServing(const std::function<bool()>& done) {
    auto& pending = Pending();
    std::unique_lock lock(pending.mutex);
    if (!IsUIThread()) {
        pending.changed.wait(lock, done);
        return;
    }
    while (!done()) {
        if (!pending.queue.empty()) {
            lock.unlock();
            CheckSynchronize();
            lock.lock();
            continue;
        }
        pending.changed.wait(lock);
    }
}

void NotifyWaiters(const std::function<void()>& change) {
    {
        std::lock_guard lock(Pending().mutex);
        change();
    }
    Pending().changed.notify_all();
}

namespace detail {

void SendRequest(const std::shared_ptr<Request>& request) {
    auto& pending = Pending();
    {
        std::lock_guard lock(pending.mutex);
        pending.queue.push_back(request);
    }
    pending.changed.notify_all();
    if (auto* application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(application, [] { CheckSynchronize(); }, Qt::QueuedConnection);
    }
    std::unique_lock lock(pending.mutex);
    pending.changed.wait(lock, [&] { return request->released; });
}

bool Release(Request& request, std::intptr_t result) {
    {
        std::lock_guard lock(Pending().mutex);
        if (request.released) {
            return false;
        }
        request.result = result;
        request.released = true;
    }
    Pending().changed.notify_all();
    return true;
}

} // namespace detail
} // namespace ui

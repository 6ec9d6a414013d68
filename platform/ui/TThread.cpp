#include "platform/ui/TThread.h"

#include "platform/ui/Synchronize.h"
#include "platform/ui/SynchronizePrivate.h"
#include "platform/ui/SystemPrivate.h"

namespace ui {

TThread::TThread(bool createSuspended) {
    if (!createSuspended) {
        Start();
    }
}

TThread::~TThread() {
    Destroying();
}

void TThread::Start() {
    if (started_) {
        return;
    }
    // Marked started only once the thread exists: a thread that could not be created is never
    // waited for.
    thread_ = std::thread([this] { Body(); });
    started_ = true;
}

void TThread::Body() {
    detail::NameCurrentThread("thread");
    SetCurrentThreadPriority(priority_);
    std::exception_ptr fatal;
    try {
        Execute();
    } catch (...) {
        fatal = std::current_exception();
    }
    NotifyWaiters([&] {
        fatal_ = fatal;
        finished_ = true;
    });
}

void TThread::WaitFor() {
    if (!started_) {
        return;
    }
    WaitServing([this] { return finished_; });
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool TThread::Finished() const {
    bool finished = false;
    NotifyWaiters([&] { finished = finished_; });
    return finished;
}

std::exception_ptr TThread::FatalException() const {
    std::exception_ptr fatal;
    NotifyWaiters([&] { fatal = fatal_; });
    return fatal;
}

void TThread::Synchronize(const std::function<void()>& method) {
    ui::Synchronize(method);
}

void TThread::Destroying() {
    Terminate();
    WaitFor();
}

} // namespace ui

#include "platform/ui/TThread.h"

#include "platform/ui/Synchronize.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ui {

TThread::TThread(bool createSuspended) {
    if (!createSuspended)
        Start();
}

TThread::~TThread() {
    Destroying();
}

void TThread::Start() {
    if (started_)
        return;
    started_ = true;
    thread_ = std::thread([this] { Body(); });
}

void TThread::Body() {
    static const int niceValues[] = {19, 10, 5, 0, -5, -10, -20};
    if (priority_ != tpNormal)
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), niceValues[priority_]);
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
    if (!started_)
        return;
    WaitServing([this] { return finished_; });
    if (thread_.joinable())
        thread_.join();
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

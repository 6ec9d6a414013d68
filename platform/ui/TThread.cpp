#include "platform/ui/TThread.h"

#include "platform/ui/Synchronize.h"
#include "platform/ui/SynchronizePrivate.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ui {

void SetCurrentThreadPriority(TThreadPriority priority) {
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    if (priority == tpTimeCritical) {
        // Within RLIMIT_RTPRIO, or any real-time priority for a process with CAP_SYS_NICE.
        constexpr int kRealTimePriority = 10;
        rlimit limit{};
        int wanted = kRealTimePriority;
        if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            limit.rlim_cur > 0) {
            wanted = std::min<int>(wanted, static_cast<int>(limit.rlim_cur));
        }
        const sched_param param{std::max(wanted, sched_get_priority_min(SCHED_FIFO))};
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) {
            return;
        }
        // The lowest nice value RLIMIT_NICE allows (20 - limit), if below the present one.
        int lowest = -20;
        if (getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            lowest = std::max(lowest, 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40)));
        }
        errno = 0;
        const int present = getpriority(PRIO_PROCESS, thread);
        if (errno == 0 && lowest < present) {
            setpriority(PRIO_PROCESS, thread, lowest);
        }
        return;
    }
    static const int niceValues[] = {19, 10, 5, 0, -5, -10, -20};
    if (priority != tpNormal) {
        setpriority(PRIO_PROCESS, thread, niceValues[priority]);
    }
}

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
    pthread_setname_np(pthread_self(), "thread");
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

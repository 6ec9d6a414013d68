// Threads, deadline waits and fonts on Linux.

#include "platform/ui/SystemPrivate.h"
#include "platform/ui/TThread.h"

#include <QFont>
#include <QStringList>
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

namespace detail {

void NameCurrentThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
}

// Linux wakes timed waits on time: the condition variable is all a deadline needs.
struct DeadlineWaiter::System {};

DeadlineWaiter::DeadlineWaiter() = default;
DeadlineWaiter::~DeadlineWaiter() = default;

void DeadlineWaiter::WaitUntil(std::unique_lock<std::mutex>& lock,
                               std::chrono::steady_clock::time_point deadline) {
    woken_.wait_until(lock, deadline);
}

void DeadlineWaiter::Wake() {
    woken_.notify_all();
}

void SubstituteFonts() {
    // Faces the window names that Linux lacks, mapped onto metric-compatible installed ones.
    QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Courier New", {"Liberation Mono", "DejaVu Sans Mono"});
}

} // namespace detail
} // namespace ui

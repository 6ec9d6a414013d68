#pragma once

// A mutex with priority inheritance, and a condition variable to wait with it. The pulse
// writer runs at real-time priority and takes locks that ordinary threads (the line monitor,
// the event thread, the window) hold for moments: with an ordinary mutex, a holder preempted by
// ordinary work would keep the writer waiting behind that work; with priority inheritance the
// holder runs at the writer's priority until it lets go.
//
// Windows has no priority-inheriting lock (its scheduler lifts starved ready threads instead),
// so there the two are the standard ones.

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(_WIN32)

namespace base {

using PiMutex = std::mutex;
using PiCondition = std::condition_variable;

} // namespace base

#else

#include <cerrno>
#include <ctime>
#include <pthread.h>

namespace base {

class PiMutex {
public:
    PiMutex() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
        pthread_mutex_init(&mutex_, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~PiMutex() { pthread_mutex_destroy(&mutex_); }
    PiMutex(const PiMutex&) = delete;
    PiMutex& operator=(const PiMutex&) = delete;

    void lock() { pthread_mutex_lock(&mutex_); }
    bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }
    void unlock() { pthread_mutex_unlock(&mutex_); }

private:
    friend class PiCondition;
    pthread_mutex_t mutex_;
};

// Waits on the monotonic clock, as std::condition_variable does with steady_clock.
class PiCondition {
public:
    PiCondition() {
        pthread_condattr_t attributes;
        pthread_condattr_init(&attributes);
        pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        pthread_cond_init(&condition_, &attributes);
        pthread_condattr_destroy(&attributes);
    }
    ~PiCondition() { pthread_cond_destroy(&condition_); }
    PiCondition(const PiCondition&) = delete;
    PiCondition& operator=(const PiCondition&) = delete;

    void notify_all() { pthread_cond_broadcast(&condition_); }
    void wait(std::unique_lock<PiMutex>& lock) {
        pthread_cond_wait(&condition_, &lock.mutex()->mutex_);
    }
    std::cv_status wait_until(std::unique_lock<PiMutex>& lock,
                              std::chrono::steady_clock::time_point deadline) {
        const auto since = deadline.time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        const timespec until{static_cast<time_t>(seconds.count()),
                             static_cast<long>((since - seconds).count())};
        return pthread_cond_timedwait(&condition_, &lock.mutex()->mutex_, &until) == ETIMEDOUT
                   ? std::cv_status::timeout
                   : std::cv_status::no_timeout;
    }

private:
    pthread_cond_t condition_;
};

} // namespace base

#endif

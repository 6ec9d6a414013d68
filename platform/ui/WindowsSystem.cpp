// Threads, deadline waits and fonts on Windows.

#include "platform/ui/SystemPrivate.h"
#include "platform/ui/TThread.h"

#include <mutex>
#include <string>
#include <windows.h>

#include <mmsystem.h>

namespace ui {

void SetCurrentThreadPriority(TThreadPriority priority) {
    // The framework's priorities are Windows' own, in this order. THREAD_PRIORITY_TIME_CRITICAL
    // is the highest a thread of an ordinary process takes without the real-time class, which
    // needs administrator rights and would starve the window and the system's input.
    static const int priorities[] = {
        THREAD_PRIORITY_IDLE,          THREAD_PRIORITY_LOWEST,       THREAD_PRIORITY_BELOW_NORMAL,
        THREAD_PRIORITY_NORMAL,        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
        THREAD_PRIORITY_TIME_CRITICAL,
    };
    if (priority != tpNormal) {
        ::SetThreadPriority(::GetCurrentThread(), priorities[priority]);
    }
}

namespace detail {

void NameCurrentThread(const char* name) {
    // SetThreadDescription came with Windows 10 1607, later than this compiler's headers.
    using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto describe = reinterpret_cast<Describe>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (describe != nullptr) {
        const std::string narrow(name);
        describe(::GetCurrentThread(), std::wstring(narrow.begin(), narrow.end()).c_str());
    }
}

namespace {

// Windows 10 1803 and later; older headers lack the name.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// From Windows 11 on, the timer resolution a process asks for is not honoured while its windows
// are hidden or minimised, unless the process opts out of that throttling (ControlMask = the
// mechanism, StateMask = 0: always honour the requests); ControlMask = 0 hands the decision back
// to the system. Counted, as the setting is the process's. A system that does not know the class
// or the flag refuses the call, and nothing else changes.
void HonourTimerResolution(bool honour) {
    static std::mutex mutex;
    static int holders = 0;
    const std::lock_guard lock(mutex);
    holders += honour ? 1 : -1;
    if (holders == (honour ? 1 : 0)) {
        PROCESS_POWER_THROTTLING_STATE state{};
        state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
        state.ControlMask = honour ? PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION : 0;
        state.StateMask = 0;
        ::SetProcessInformation(::GetCurrentProcess(), ProcessPowerThrottling, &state,
                                sizeof state);
    }
}

} // namespace

struct DeadlineWaiter::System {
    HANDLE timer = nullptr;
    HANDLE wake = nullptr;
    ~System() {
        if (timer != nullptr) {
            ::CloseHandle(timer);
        }
        if (wake != nullptr) {
            ::CloseHandle(wake);
        }
    }
};

DeadlineWaiter::DeadlineWaiter() {
    // Windows before 10 1803 refuses the flag. Wine takes it and ignores it, as it does every
    // flag but manual reset: its timers are kept by its server, whose waits end on the
    // millisecond anyway (measured under Wine 8.0: 0.9 ms late at the median).
    auto system = std::make_unique<System>();
    system->timer = ::CreateWaitableTimerExW(
        nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    system->wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (system->timer != nullptr && system->wake != nullptr) {
        system_ = std::move(system);
    } else {
        // The condition variable then, with the clock interrupt at its fastest for the run.
        ::timeBeginPeriod(1);
    }
    HonourTimerResolution(true);
}

DeadlineWaiter::~DeadlineWaiter() {
    if (system_ == nullptr) {
        ::timeEndPeriod(1);
    }
    HonourTimerResolution(false);
}

void DeadlineWaiter::WaitUntil(std::unique_lock<std::mutex>& lock,
                               std::chrono::steady_clock::time_point deadline) {
    if (system_ == nullptr) {
        woken_.wait_until(lock, deadline);
        return;
    }
    lock.unlock();
    // A relative due time (negative, in 100 ns units), rounded up so that the wait never ends
    // before the deadline; unlike an absolute one it does not follow changes of the system time.
    using Ticks = std::chrono::duration<LONGLONG, std::ratio<1, 10'000'000>>;
    const auto left = std::chrono::ceil<Ticks>(deadline - std::chrono::steady_clock::now());
    if (left.count() > 0) {
        LARGE_INTEGER due;
        due.QuadPart = -left.count();
        // A wake that came after the caller looked at its state left the event set: the wait
        // returns at once, so no wake is lost.
        if (::SetWaitableTimer(system_->timer, &due, 0, nullptr, nullptr, FALSE)) {
            const HANDLE handles[] = {system_->timer, system_->wake};
            ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        } else {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left);
            ::WaitForSingleObject(system_->wake, DWORD(ms.count()));
        }
    }
    lock.lock();
}

void DeadlineWaiter::Wake() {
    if (system_ != nullptr) {
        ::SetEvent(system_->wake);
    } else {
        woken_.notify_all();
    }
}

// The faces the window names are Windows' own.
void SubstituteFonts() {}

} // namespace detail
} // namespace ui

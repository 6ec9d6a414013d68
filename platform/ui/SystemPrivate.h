#pragma once

// What this layer asks of the operating system besides the toolkit, one source file per
// platform (PosixSystem.cpp, WindowsSystem.cpp). SetCurrentThreadPriority (TThread.h) is there
// too.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace ui::detail {

// Names the calling thread in the system's thread lists and in debuggers.
void NameCurrentThread(const char* name);

// The waits of the thread that keeps absolute deadlines (the pulse writer), made for the length
// of its run; other threads cut a wait short to announce a change. Windows wakes an ordinary
// timed wait on its clock interrupt, every 15.6 ms by default, and from Windows 11 on no longer
// raises that rate for a process whose windows are all hidden or minimised: there the waits use
// a high-resolution waitable timer, which does not depend on it. Linux waits are precise anyway.
class DeadlineWaiter {
public:
    DeadlineWaiter();
    ~DeadlineWaiter();
    DeadlineWaiter(const DeadlineWaiter&) = delete;
    DeadlineWaiter& operator=(const DeadlineWaiter&) = delete;

    // Returns once the deadline has passed, after a Wake, or spuriously: the caller looks at its
    // state again. `lock` is held on entry and on return and released while waiting; what a Wake
    // announces is changed under it.
    void WaitUntil(std::unique_lock<std::mutex>& lock,
                   std::chrono::steady_clock::time_point deadline);
    // Any thread, after the change it announces: ends the wait under way (a later wait may then
    // return at once).
    void Wake();

private:
    // What the system adds to the condition variable, where it has something finer.
    struct System;
    std::condition_variable woken_;
    std::unique_ptr<System> system_;
};

// Maps the faces the window names onto installed ones where the system lacks them.
void SubstituteFonts();

} // namespace ui::detail

#pragma once

#include <QString>
#include <memory>

namespace ui {

// While one lives, the system does not put itself to sleep for idleness: output to a port is
// no activity to its idle timer, so a long run would otherwise end in the middle. Windows keeps
// the request per thread, so the thread that makes one destroys it. On Linux the request goes to
// logind or the desktop portal over D-Bus and returns at once; the answer comes through the
// calling thread's event loop, and a lock granted after the object has gone is given back as it
// arrives. A session with neither (a container, CI) gets no lock and no error.
// Not held off: a closed lid, a Suspend the user asks for, a critically low battery, a policy
// that ignores inhibitors.
class TSleepInhibitor {
public:
    // reason: why the system stays awake, as the system's lists of inhibitors show it.
    explicit TSleepInhibitor(const QString& reason);
    ~TSleepInhibitor();
    TSleepInhibitor(const TSleepInhibitor&) = delete;
    TSleepInhibitor& operator=(const TSleepInhibitor&) = delete;

    // The system's own lock, one per backend (PosixSleepInhibitorPrivate.h for Linux).
    class Lock;
    explicit TSleepInhibitor(std::unique_ptr<Lock> lock);

private:
    std::unique_ptr<Lock> lock_;
};

} // namespace ui

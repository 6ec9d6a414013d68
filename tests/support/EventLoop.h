#pragma once

// Waiting in tests while the event loop runs, so that requests of other threads and queued
// calls are served.

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// Runs the event loop (serving requests of other threads) until done() or the time is up.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testsupport

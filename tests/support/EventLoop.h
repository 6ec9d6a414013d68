#pragma once

// Waiting in tests while the event loop runs, so that requests of other threads and queued
// calls are served.

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// Runs the event loop (serving requests of other threads) until done() or the time is up.
// longestStep, when given, keeps the longest time one round of the loop took (a handler that
// held the thread up); it is raised, never lowered.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000),
                      std::chrono::milliseconds* longestStep = nullptr) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        const auto step = Clock::now();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (longestStep != nullptr) {
            *longestStep = std::max(
                *longestStep,
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - step));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testsupport

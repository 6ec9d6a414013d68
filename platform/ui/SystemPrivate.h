#pragma once

// What this layer asks of the operating system besides the toolkit, one source file per
// platform (PosixSystem.cpp, WindowsSystem.cpp). SetCurrentThreadPriority (TThread.h) is there
// too.

namespace ui::detail {

// Names the calling thread in the system's thread lists and in debuggers.
void NameCurrentThread(const char* name);

// While one lives, the system's timers run at their finest resolution, for a thread that
// waits for absolute deadlines. Windows wakes timed waits on its clock interrupt, every
// 15.6 ms by default; Linux waits are precise anyway.
class FineTimerResolution {
public:
    FineTimerResolution();
    ~FineTimerResolution();
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;
};

// Maps the faces the window names onto installed ones where the system lacks them.
void SubstituteFonts();

} // namespace ui::detail

#pragma once

// Work handed from other threads to the user-interface thread (the thread of the application
// object): the synchronise call here, and sent messages (NotifyWindow.h). The UI thread runs
// such requests from its event loop, and also while it waits for a thread to end
// (TThread::WaitFor), so a thread that is waiting for the UI thread can always finish.

#include <functional>

namespace ui {

// Runs work on the UI thread while the calling thread waits; an exception the work raises is
// raised again in the caller. Called on the UI thread, it runs the work at once.
void Synchronize(const std::function<void()>& work);

} // namespace ui

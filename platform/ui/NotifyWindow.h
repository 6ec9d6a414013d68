#pragma once

// A hidden window on the user-interface thread that receives sent messages. A sender on
// another thread blocks until the window procedure has replied (returned, or called
// ReplyMessage); inside the procedure InSendMessage() tells that the message came from another
// thread. A message sent on the UI thread itself calls the procedure directly.

#include <cstdint>
#include <functional>
#include <memory>

namespace ui {

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr UINT WM_USER = 0x0400;

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

using TWndMethod = std::function<void(TMessage& message)>;

class TNotifyWindow {
public:
    // Call on the UI thread.
    explicit TNotifyWindow(TWndMethod method);
    ~TNotifyWindow();
    TNotifyWindow(const TNotifyWindow&) = delete;
    TNotifyWindow& operator=(const TNotifyWindow&) = delete;

private:
    struct State;
    friend LRESULT SendMessage(TNotifyWindow* window, UINT message, WPARAM wParam, LPARAM lParam);
    std::shared_ptr<State> state_;
};

using HWND = TNotifyWindow*;

// Sends a message and waits for the reply; 0 for no window or one destroyed meanwhile.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Inside a window procedure: the message being handled was sent from another thread.
bool InSendMessage();
// Inside a window procedure: releases the sending thread with the result now. False when the
// message did not come from another thread or was replied to already.
bool ReplyMessage(LRESULT result);
// Default handling of a message: nothing, result 0.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace ui

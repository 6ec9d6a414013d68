#include "platform/ui/NotifyWindow.h"

#include "platform/ui/SynchronizePrivate.h"

namespace ui {

struct TNotifyWindow::State {
    TWndMethod method;
    bool alive = true; // read and written on the UI thread only
};

namespace {
// The request of the cross-thread message being handled on this thread, if any.
thread_local detail::Request* currentSent = nullptr;

// Runs the window's method with `sent` as the message being handled, then restores the outer
// one, also when the method raises.
LRESULT Deliver(const TWndMethod& method, UINT message, WPARAM wParam, LPARAM lParam,
                detail::Request* sent) {
    struct Restore {
        detail::Request* outer;
        ~Restore() { currentSent = outer; }
    } restore{currentSent};
    currentSent = sent;
    TMessage m{message, wParam, lParam, 0};
    method(m);
    return m.Result;
}
} // namespace

TNotifyWindow::TNotifyWindow(TWndMethod method) : state_(std::make_shared<State>()) {
    state_->method = std::move(method);
}

TNotifyWindow::~TNotifyWindow() {
    state_->alive = false;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) {
        return 0;
    }
    std::shared_ptr<TNotifyWindow::State> state = window->state_;
    if (IsUIThread()) {
        if (!state->alive) {
            return 0;
        }
        return Deliver(state->method, message, wParam, lParam, nullptr);
    }
    auto request = std::make_shared<detail::Request>();
    request->work = [state, message, wParam, lParam](detail::Request& self) {
        if (!state->alive) {
            return;
        }
        detail::Release(self, Deliver(state->method, message, wParam, lParam, &self));
    };
    detail::SendRequest(request);
    return request->result;
}

bool InSendMessage() {
    return currentSent != nullptr;
}

bool ReplyMessage(LRESULT result) {
    if (currentSent == nullptr) {
        return false;
    }
    return detail::Release(*currentSent, result);
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

} // namespace ui

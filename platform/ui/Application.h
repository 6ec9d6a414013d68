#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace ui {

// Process-wide set-up of the toolkit: the style, and font substitutions for the faces the
// window names where the system lacks them.
void InitApplication();

// The application title: the caption of the error box. Window titles stay as they are set.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The text the error box shows: the message, plus "." when its last character's code is
// above that of ".".
QString ErrorBoxText(const QString& message);

// The application's error box: modal, OK button, stop icon, captioned with the title.
// While one box is open a further error is not shown in another box on top of it.
void ShowErrorBox(const QString& message);

// The message of the exception being handled (call inside a catch block).
QString CurrentExceptionMessage();
// Shows the message of the exception being handled (call inside a catch block).
void ShowCurrentException();

// Runs a handler; an exception escaping it ends it there and goes to the error box.
template <class Handler> void RunHandler(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ShowCurrentException();
    }
}

// Replaces the modal box, in tests and harnesses: called with caption and text instead of
// showing it.
using ErrorBoxPresenter = std::function<void(const QString& caption, const QString& text)>;
void SetErrorBoxPresenter(ErrorBoxPresenter presenter);

// The toolkit's beep.
void Beep();

} // namespace ui

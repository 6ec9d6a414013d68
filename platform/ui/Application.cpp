#include "platform/ui/Application.h"

#include "platform/ui/ApplicationPrivate.h"
#include "platform/ui/Exception.h"
#include "platform/ui/SystemPrivate.h"

#include <QApplication>
#include <QMessageBox>
#include <atomic>

namespace ui {
namespace {

QString gTitle;
ErrorBoxPresenter gPresenter;
bool gBoxOpen = false;
std::atomic<int> gBeeps{0};

void ShowModalBox(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace

void InitApplication() {
    // The classic style draws group box captions on the frame line and keeps control metrics
    // close to the classic desktop the window's layout was made on.
    QApplication::setStyle(QStringLiteral("Windows"));
    detail::SubstituteFonts();
}

QString ApplicationTitle() {
    return gTitle;
}

// The title is kept here, not as the toolkit's application display name: on X11 and Wayland
// the toolkit appends that name to every window title, and the main window's caption must
// reach the window system as it stands.
void SetApplicationTitle(const QString& title) {
    gTitle = title;
}

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') {
        return message + u'.';
    }
    return message;
}

void ShowErrorBox(const QString& message) {
    if (gBoxOpen) {
        return;
    }
    gBoxOpen = true;
    struct Reset {
        ~Reset() { gBoxOpen = false; }
    } reset;
    const QString text = ErrorBoxText(message);
    if (gPresenter) {
        gPresenter(gTitle, text);
    } else {
        ShowModalBox(gTitle, text);
    }
}

bool ErrorBoxOpen() {
    return gBoxOpen;
}

QString CurrentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void ShowCurrentException() {
    ShowErrorBox(CurrentExceptionMessage());
}

void SetErrorBoxPresenter(ErrorBoxPresenter presenter) {
    gPresenter = std::move(presenter);
}

void Beep() {
    ++gBeeps;
    QApplication::beep();
}

int BeepCount() {
    return gBeeps;
}

} // namespace ui

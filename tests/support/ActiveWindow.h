#pragma once

// Shows a window and makes it the active one, as the operator's click on it would. The
// platform delivers the activation with the next round of the event loop, which is all this
// waits for: a longer wait would let the window's 100 ms timers tick before a test looks.

#include <QCoreApplication>
#include <QWidget>

namespace testsupport {

inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QCoreApplication::processEvents();
    return window.isActiveWindow();
}

} // namespace testsupport

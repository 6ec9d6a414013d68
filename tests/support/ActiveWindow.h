#pragma once

// Shows a window and makes it the active one, as the operator's click on it would; the
// platform's activation (asynchronous on some platforms) is awaited.

#include <QTest>
#include <QWidget>

namespace testsupport {

inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace testsupport

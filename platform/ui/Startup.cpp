#include "platform/ui/Startup.h"

#include "platform/ui/Application.h"

namespace ui {

TStartup::TPlatformChoice::TPlatformChoice(TPlatform platform) {
    // On X11 the window's screen updates are a few pixels each, many times a second (the
    // preview's new segment, the caret). With the shared-memory transport every paint over
    // pixels whose transfer the server has not finished waits for a round trip to the server
    // first; sending the pixels inside the request costs no round trip and, at these sizes,
    // no more. A setting of the user's own is left as it is (the toolkit only asks whether the
    // variable is set).
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    switch (platform) {
    case TPlatform::Desktop:
        break;
    case TPlatform::OffscreenByDefault:
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        break;
    case TPlatform::Offscreen:
        qputenv("QT_QPA_PLATFORM", "offscreen");
        break;
    case TPlatform::X11:
        qputenv("QT_QPA_PLATFORM", "xcb");
        break;
    }
}

TStartup::TStartup(int& argc, char** argv, TPlatform platform)
    : platform_(platform), application_(argc, argv) {
    InitApplication();
}

} // namespace ui

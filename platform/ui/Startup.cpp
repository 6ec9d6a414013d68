#include "platform/ui/Startup.h"

#include "platform/ui/Application.h"

namespace ui {

TStartup::TPlatformChoice::TPlatformChoice(TPlatform platform) {
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

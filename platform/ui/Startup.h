#pragma once

#include <QApplication>

namespace ui {

// The platform plugin a main asks for.
enum class TPlatform {
    Desktop,            // the program: whatever the session offers (QT_QPA_PLATFORM honoured)
    OffscreenByDefault, // harnesses: offscreen unless QT_QPA_PLATFORM names one
    Offscreen,          // test and benchmark programs: always offscreen
    X11,                // tests of what the X server sees: always xcb
};

// The one start-up of every main in the tree (the program, the test and benchmark mains, the
// measuring harnesses): the platform, the application object, then the process-wide set-up
// (style, font substitutions). Lives for the whole of main().
class TStartup {
public:
    TStartup(int& argc, char** argv, TPlatform platform);
    TStartup(const TStartup&) = delete;
    TStartup& operator=(const TStartup&) = delete;

private:
    // Chooses the platform; a member initialised before the application object exists.
    struct TPlatformChoice {
        explicit TPlatformChoice(TPlatform platform);
    };
    TPlatformChoice platform_;
    QApplication application_;
};

} // namespace ui

#pragma once

#include "platform/ui/Startup.h"

#include <QString>

// The application's identity: the title the error box is captioned with, and the desktop
// entry (org.tavrix.Tavrix.desktop) that task bars and docks match the window with.
inline const QString kApplicationTitle = QStringLiteral("Генератор сигналов");
inline const QString kDesktopFileName = QStringLiteral("org.tavrix.Tavrix");

// Gives the running application the program's identity.
void SetProgramIdentity();

// The start-up of the program and of every main that drives its window: the toolkit's start-up
// with the program's identity.
class TProgramStartup : public ui::TStartup {
public:
    TProgramStartup(int& argc, char** argv, ui::TPlatform platform = ui::TPlatform::Desktop);
};

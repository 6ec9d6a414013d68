#pragma once

#include <QString>

// The application's identity: the title the error box is captioned with, and the desktop
// entry (org.tavrix.Tavrix.desktop) that task bars and docks match the window with.
inline const QString kApplicationTitle = QStringLiteral("Генератор сигналов");
inline const QString kDesktopFileName = QStringLiteral("org.tavrix.Tavrix");

// Start-up of the application object, run once after the QApplication exists and before the
// main window is created.
void StartApplication();

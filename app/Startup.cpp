#include "app/Startup.h"

#include "platform/ui/Application.h"

#include <QGuiApplication>

void SetProgramIdentity() {
    ui::SetApplicationTitle(kApplicationTitle);
    QGuiApplication::setDesktopFileName(kDesktopFileName);
}

TProgramStartup::TProgramStartup(int& argc, char** argv, ui::TPlatform platform)
    : TStartup(argc, argv, platform) {
    SetProgramIdentity();
}

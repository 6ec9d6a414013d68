#include "app/Startup.h"

#include "platform/ui/Application.h"

#include <QGuiApplication>

void StartApplication() {
    ui::InitApplication();
    ui::SetApplicationTitle(kApplicationTitle);
    QGuiApplication::setDesktopFileName(kDesktopFileName);
}

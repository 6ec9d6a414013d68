#include "app/Main.h"

#include "platform/ui/Application.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ui::InitApplication();
    ui::SetApplicationTitle(QStringLiteral("Генератор сигналов"));
    TMainForm mainForm;
    mainForm.show();
    return QApplication::exec();
}

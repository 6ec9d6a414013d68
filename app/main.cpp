#include "app/Main.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    StartApplication();
    TMainForm mainForm;
    mainForm.show();
    return QApplication::exec();
}

#include "app/Main.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
    TProgramStartup startup(argc, argv);
    TMainForm mainForm;
    mainForm.show();
    return QApplication::exec();
}

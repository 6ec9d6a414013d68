#include "app/Main.h"

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Контроллер управления форсунками Tavrix_v.5"));
    setFixedSize(622, 549);
}

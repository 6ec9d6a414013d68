#include "tests/app/WindowFixture.h"

#include "platform/ports/PortNames.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QTest>

namespace testsupport {

void WindowTest::SetUp() {
    ErrorBoxes::Clear();
    ui::SetApplicationTitle(QStringLiteral("Генератор сигналов"));
    pty_ = std::make_unique<SerialPty>("ttyV0");
    previousTtyClass_ = ports::TtyClassRoot();
    previousDev_ = ports::DevRoot();
    ports::SetTtyClassRoot(ttyClass_.Path());
    ports::SetDevRoot(pty_->Directory());
    CreateWindow();
}

void WindowTest::TearDown() {
    form_.reset();
    pty_.reset();
    ports::SetTtyClassRoot(previousTtyClass_);
    ports::SetDevRoot(previousDev_);
}

void WindowTest::CreateWindow() {
    form_.reset();
    form_ = std::make_unique<TMainForm>();
    form_->show();
    QApplication::setActiveWindow(form_.get());
    Pump(0);
}

void WindowTest::Pump(int milliseconds) {
    QCoreApplication::processEvents();
    if (milliseconds > 0)
        QTest::qWait(milliseconds);
}

} // namespace testsupport

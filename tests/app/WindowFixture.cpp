#include "tests/app/WindowFixture.h"

#include "app/Startup.h"
#include "platform/ports/PortNames.h"
#include "platform/ui/Application.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TThreadTimer.h"
#include "platform/ui/TTimer.h"
#include "serial/BCPort.h"
#include "tests/support/ActiveWindow.h"

#include <QTest>

namespace testsupport {

void WindowTest::SetUp() {
    ErrorBoxes::Clear();
    SetProgramIdentity();
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
    ASSERT_TRUE(testsupport::ShowActive(*form_));
    Pump(0);
}

bool WindowTest::Running() const {
    const TMainForm& f = *form_;
    return f.BComPort1->Connected() && f.Timer1->Enabled() && !f.btnConnect->isEnabled() &&
           f.btnDisconnect->isEnabled() && !f.cbPort->isEnabled() && f.Edit1->isEnabled() &&
           f.Edit1->palette().color(QPalette::Base) == ColorToQColor(clWindow) &&
           f.Timer4->Enabled() && f.Timer5->Enabled();
}

bool WindowTest::Idle() const {
    const TMainForm& f = *form_;
    return !f.BComPort1->Connected() && !f.Timer1->Enabled() && f.btnConnect->isEnabled() &&
           !f.btnDisconnect->isEnabled() && f.cbPort->isEnabled() && !f.Edit1->isEnabled() &&
           f.Edit1->palette().color(QPalette::Base) == ColorToQColor(clBtnFace) &&
           !f.Timer4->Enabled() && !f.Timer5->Enabled();
}

void WindowTest::Start() {
    QTest::mouseClick(form_->btnConnect, Qt::LeftButton);
}

void WindowTest::Stop() {
    QTest::mouseClick(form_->btnDisconnect, Qt::LeftButton);
}

void WindowTest::Pump(int milliseconds) {
    QCoreApplication::processEvents();
    if (milliseconds > 0) {
        QTest::qWait(milliseconds);
    }
}

} // namespace testsupport

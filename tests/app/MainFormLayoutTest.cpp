#include "app/Main.h"
#include "tests/app/WindowFixture.h"

#include "platform/ports/PortNames.h"
#include "platform/ui/TThreadTimer.h"
#include "platform/ui/TTimer.h"
#include "serial/BCPort.h"
#include "widgets/Chart.h"
#include "widgets/Spin.h"

#include "platform/ui/Graphics.h"

#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TTrackBar.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

class MainFormLayout : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<TMainForm>(); }
    std::unique_ptr<TMainForm> form;
};

struct Placement {
    const char* name;
    QWidget* control;
    QWidget* parent;
    QRect geometry;
};

TEST_F(MainFormLayout, WindowIsFixedSizeWithCaptionAndNoMaximiseBox) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Контроллер управления форсунками Tavrix_v.5"));
    EXPECT_EQ(form->size(), QSize(622, 549));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(form->windowIcon().pixmap(QSize(64, 64)).size(), QSize(16, 16));
    EXPECT_EQ(QGuiApplication::windowIcon().cacheKey(), form->windowIcon().cacheKey());
}

TEST_F(MainFormLayout, EveryControlSitsAtItsPlaceOnItsParent) {
    TMainForm& f = *form;
    const Placement placements[] = {
        {"Panel1", f.Panel1, &f, {0, 0, 622, 577}},
        {"GroupBox4", f.GroupBox4, f.Panel1, {8, 8, 497, 81}},
        {"TrackBar1", f.TrackBar1, f.Panel1, {16, 32, 345, 33}},
        {"Label2", f.Label2, f.GroupBox4, {8, 56, 345, 13}},
        {"cbBaudRate", f.cbBaudRate, f.GroupBox4, {368, 16, 113, 45}},
        {"GroupBox5", f.GroupBox5, f.Panel1, {512, 8, 97, 81}},
        {"cbPort", f.cbPort, f.GroupBox5, {8, 20, 81, 28}},
        {"GroupBox9", f.GroupBox9, f.Panel1, {8, 96, 497, 81}},
        {"Edit1", f.Edit1, f.GroupBox9, {8, 25, 177, 24}},
        {"Edit4", f.Edit4, f.GroupBox9, {8, 21, 409, 45}},
        {"Button13", f.Button13, f.GroupBox9, {432, 16, 49, 25}},
        {"Button14", f.Button14, f.GroupBox9, {432, 48, 49, 25}},
        {"GroupBox7", f.GroupBox7, f.Panel1, {512, 96, 97, 81}},
        {"btnConnect", f.btnConnect, f.GroupBox7, {8, 16, 81, 57}},
        {"GroupBox1", f.GroupBox1, f.Panel1, {8, 184, 137, 73}},
        {"GroupBox2", f.GroupBox2, f.Panel1, {152, 184, 193, 73}},
        {"Edit2", f.Edit2, f.GroupBox2, {8, 16, 177, 45}},
        {"GroupBox3", f.GroupBox3, f.Panel1, {352, 184, 153, 73}},
        {"Edit3", f.Edit3, f.GroupBox3, {8, 16, 137, 45}},
        {"GroupBox8", f.GroupBox8, f.Panel1, {512, 184, 97, 73}},
        {"btnDisconnect", f.btnDisconnect, f.GroupBox8, {8, 16, 81, 49}},
        {"GroupBox6", f.GroupBox6, f.Panel1, {8, 264, 601, 81}},
        {"Label1", f.Label1, f.Panel1, {0, 528, 606, 13}},
    };
    for (const Placement& p : placements) {
        SCOPED_TRACE(p.name);
        ASSERT_NE(p.control, nullptr);
        EXPECT_EQ(p.control->parentWidget(), p.parent);
        EXPECT_EQ(p.control->geometry(), p.geometry);
    }
}

TEST_F(MainFormLayout, SiblingsStackInCreationOrder) {
    TMainForm& f = *form;
    const QList<QWidget*> panelOrder = {f.Label1,    f.GroupBox1, f.GroupBox2, f.GroupBox3,
                                        f.GroupBox4, f.GroupBox5, f.GroupBox6, f.GroupBox7,
                                        f.TrackBar1, f.GroupBox9, f.GroupBox8};
    QList<QWidget*> children;
    for (QObject* child : f.Panel1->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child); panelOrder.contains(widget)) {
            children << widget;
        }
    }
    EXPECT_EQ(children, panelOrder);
    // Edit4 lies above Edit1 and hides it.
    const QObjectList boxChildren = f.GroupBox9->children();
    EXPECT_LT(boxChildren.indexOf(f.Edit1), boxChildren.indexOf(f.Edit4));
    EXPECT_TRUE(f.Edit4->geometry().contains(f.Edit1->geometry()));
}

TEST_F(MainFormLayout, CaptionsTextsAndStartUpValues) {
    TMainForm& f = *form;
    EXPECT_EQ(f.GroupBox4->title(), QStringLiteral(" Частота, Гц "));
    EXPECT_EQ(f.GroupBox5->title(), QStringLiteral(" СОМ-порт "));
    EXPECT_EQ(f.GroupBox9->title(), QStringLiteral(" Скважность "));
    EXPECT_EQ(f.GroupBox1->title(), QStringLiteral(" Таймер, сек "));
    EXPECT_EQ(f.GroupBox2->title(), QStringLiteral(" Дата "));
    EXPECT_EQ(f.GroupBox3->title(), QStringLiteral(" Время "));
    EXPECT_EQ(f.GroupBox6->title(), QStringLiteral(" Индикатор процесса "));
    EXPECT_TRUE(f.GroupBox7->title().isEmpty());
    EXPECT_TRUE(f.GroupBox8->title().isEmpty());
    EXPECT_EQ(f.Label2->text(),
              QStringLiteral("30 Гц") + QString(17, u' ') + QStringLiteral("75 Гц") +
                  QString(16, u' ') + QStringLiteral("150 Гц") + QString(16, u' ') +
                  QStringLiteral("300 Гц") + QString(15, u' ') + QStringLiteral("600 Гц"));
    EXPECT_EQ(f.btnConnect->text(), QStringLiteral("ПУСК"));
    EXPECT_EQ(f.btnDisconnect->text(), QStringLiteral("СТОП"));
    EXPECT_EQ(f.Button13->text(), QStringLiteral("+"));
    EXPECT_EQ(f.Button14->text(), QStringLiteral("--"));
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("fffff"));
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("|||||"));
    EXPECT_EQ(f.Edit2->text(), QStringLiteral(" "));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral(" "));
    EXPECT_FALSE(f.Label1->text().isEmpty());
    // The credit line is not cut off at the label's fixed width.
    EXPECT_LE(QFontMetrics(f.Label1->font()).horizontalAdvance(f.Label1->text()),
              f.Label1->width());

    const QStringList rates = {"30", "75", "150", "300", "600"};
    ASSERT_EQ(f.cbBaudRate->count(), rates.size());
    for (int i = 0; i < rates.size(); ++i) {
        EXPECT_EQ(f.cbBaudRate->itemText(i), rates[i]);
    }
    EXPECT_FALSE(f.cbBaudRate->isEditable());
    EXPECT_FALSE(f.cbPort->isEditable());

    EXPECT_EQ(f.TrackBar1->orientation(), Qt::Horizontal);
    EXPECT_EQ(f.TrackBar1->minimum(), 0);
    EXPECT_EQ(f.TrackBar1->maximum(), 4);
    EXPECT_EQ(f.TrackBar1->pageStep(), 1);
    EXPECT_EQ(f.TrackBar1->Position(), 3);
}

TEST_F(MainFormLayout, IdleEnabledStates) {
    TMainForm& f = *form;
    EXPECT_TRUE(f.btnConnect->isEnabled());
    EXPECT_FALSE(f.btnDisconnect->isEnabled());
    EXPECT_FALSE(f.Edit1->isEnabled());
    EXPECT_TRUE(f.Edit4->isEnabled());
    EXPECT_TRUE(f.cbPort->isEnabled());
    EXPECT_TRUE(f.cbBaudRate->isEnabled());
    EXPECT_TRUE(f.TrackBar1->isEnabled());
}

TEST_F(MainFormLayout, FontsAndColours) {
    TMainForm& f = *form;
    const QColor lime = ColorToQColor(clLime);
    const QColor black = ColorToQColor(clBlack);
    for (QWidget* big : {static_cast<QWidget*>(f.cbBaudRate), static_cast<QWidget*>(f.Edit4),
                         static_cast<QWidget*>(f.Edit2), static_cast<QWidget*>(f.Edit3)}) {
        SCOPED_TRACE(big->geometry().x());
        EXPECT_EQ(big->font().family(), QStringLiteral("MS Sans Serif"));
        EXPECT_EQ(big->font().pixelSize(), 32);
        EXPECT_EQ(big->palette().color(QPalette::Active, QPalette::Text), lime);
        EXPECT_EQ(big->palette().color(QPalette::Active, QPalette::Base), black);
    }
    EXPECT_EQ(f.cbPort->font().pixelSize(), 16);
    EXPECT_EQ(f.cbPort->palette().color(QPalette::Active, QPalette::Text), lime);
    EXPECT_EQ(f.cbPort->palette().color(QPalette::Active, QPalette::Base), black);

    EXPECT_EQ(f.Edit1->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(f.Edit1->font().pixelSize(), 13);
    EXPECT_EQ(f.Edit1->palette().color(QPalette::Base), ColorToQColor(clBtnFace));

    for (ui::TButton* b : {f.btnConnect, f.btnDisconnect}) {
        EXPECT_EQ(b->font().pixelSize(), 24);
    }
    for (ui::TButton* b : {f.Button13, f.Button14}) {
        EXPECT_EQ(b->font().pixelSize(), 19);
    }

    EXPECT_EQ(f.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(f.font().pixelSize(), 11);
    EXPECT_EQ(f.palette().color(QPalette::Window), ColorToQColor(clMoneyGreen));
    EXPECT_EQ(f.Panel1->palette().color(QPalette::Window), ColorToQColor(clActiveCaption));
    EXPECT_TRUE(f.Panel1->autoFillBackground());
    for (QGroupBox* box : f.Panel1->findChildren<QGroupBox*>()) {
        EXPECT_EQ(box->palette().color(QPalette::WindowText), ColorToQColor(clWhite));
        EXPECT_EQ(box->font().pixelSize(), 11);
    }
    EXPECT_EQ(f.Label1->palette().color(QPalette::WindowText), ColorToQColor(clWhite));
    EXPECT_EQ(f.Label2->palette().color(QPalette::WindowText), ColorToQColor(clWhite));
}

TEST_F(MainFormLayout, TabWalksTheFocusableControlsInOrder) {
    TMainForm& f = *form;
    f.show();
    // While idle Edit1 is disabled and skipped; enabled, it takes its place after TrackBar1.
    f.Edit1->setEnabled(true);
    QList<QWidget*> walked;
    QWidget* start = f.TabOrder().front();
    QWidget* w = start;
    do {
        walked << w;
        w = w->nextInFocusChain();
        while (w != start && (w->focusPolicy() & Qt::TabFocus) == 0) {
            w = w->nextInFocusChain();
        }
    } while (w != start && walked.size() < 100);
    EXPECT_EQ(walked, f.TabOrder());
}

} // namespace

namespace {

class MainFormStartUp : public testsupport::WindowTest {};

TEST_F(MainFormStartUp, ListsThePortsSelectsTheFirstAndTheDefaults) {
    TMainForm& f = *form_;
    EXPECT_EQ(f.cbPort->Items(), QStringList{QStringLiteral("ttyV0")});
    EXPECT_EQ(f.cbPort->ItemIndex(), 0);
    EXPECT_EQ(f.cbBaudRate->ItemIndex(), 3);
    EXPECT_EQ(f.cbBaudRate->currentText(), QStringLiteral("300"));
    EXPECT_EQ(f.TrackBar1->Position(), 3);
    EXPECT_EQ(f.PulseLevel, 1.0);
    // 0.0 at start-up, lowered by 0.1 on every countdown tick since: on a loaded machine (a
    // sanitizer tree beside other builds) the first one may come before the test looks.
    const double ticks = -f.RemainingSeconds * 10;
    EXPECT_NEAR(ticks, std::nearbyint(ticks), 1e-9);
    EXPECT_GE(ticks, 0.0);
    EXPECT_LE(ticks, 2.0);
    EXPECT_EQ(f.SampleIndex, 0);
    EXPECT_TRUE(testsupport::ErrorBoxes::Texts().isEmpty());
    // The focus is in the run-length entry with its text selected.
    EXPECT_TRUE(f.SpinEdit2->hasFocus());
    EXPECT_EQ(f.SpinEdit2->selectedText(), QStringLiteral("100"));
}

TEST_F(MainFormStartUp, PortComponentHasTheWindowsStoredSettings) {
    const TBComPort& port = *form_->BComPort1;
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.ByteSize(), bs8);
    EXPECT_EQ(port.Parity(), paEven);
    EXPECT_EQ(port.StopBits(), sb2);
    EXPECT_EQ(port.Port(), QStringLiteral("COM2"));
    EXPECT_EQ(port.InBufSize(), 256);
    EXPECT_EQ(port.OutBufSize(), 256);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(port.parent(), form_.get());
}

TEST_F(MainFormStartUp, TimersHaveTheirIntervalsAndStates) {
    TMainForm& f = *form_;
    // The countdown and the clock may be aligned with other wake-ups by the toolkit; the flip
    // and sample timers run precisely.
    const struct {
        ui::TTimer* timer;
        int interval;
        bool enabled;
        Qt::TimerType type;
    } timers[] = {{f.Timer2, 100, true, Qt::CoarseTimer},
                  {f.Timer3, 1000, true, Qt::CoarseTimer},
                  {f.Timer4, 10, false, Qt::PreciseTimer},
                  {f.Timer5, 1, false, Qt::PreciseTimer}};
    for (const auto& t : timers) {
        EXPECT_EQ(t.timer->Interval(), t.interval);
        EXPECT_EQ(t.timer->Enabled(), t.enabled);
        EXPECT_EQ(t.timer->TimerType(), t.type) << t.interval;
    }
    EXPECT_TRUE(f.Timer2->Aligned());
    EXPECT_FALSE(f.Timer4->Aligned());
    f.Timer4->SetInterval(100);
    EXPECT_EQ(f.Timer4->TimerType(), Qt::PreciseTimer);
    f.Timer4->SetInterval(10);
    // Only periods of 20 ms and more are aligned.
    f.Timer2->SetInterval(19);
    EXPECT_EQ(f.Timer2->TimerType(), Qt::PreciseTimer);
    f.Timer2->SetInterval(20);
    EXPECT_EQ(f.Timer2->TimerType(), Qt::CoarseTimer);
    f.Timer2->SetInterval(100);
    // The writer ticks every 100 ms on a thread of its own, which runs only during a run.
    EXPECT_EQ(f.Timer1->Interval(), 100);
    EXPECT_FALSE(f.Timer1->Enabled());
}

TEST_F(MainFormStartUp, EmptyPortListIsNoError) {
    pty_.reset();
    testsupport::TempDir emptyDev;
    ports::SetDevRoot(emptyDev.Path());
    CreateWindow();
    EXPECT_EQ(form_->cbPort->count(), 0);
    EXPECT_EQ(form_->cbPort->ItemIndex(), -1);
    EXPECT_EQ(form_->cbBaudRate->ItemIndex(), 3);
    EXPECT_EQ(form_->PulseLevel, 1.0);
    EXPECT_TRUE(testsupport::ErrorBoxes::Texts().isEmpty());
}

TEST_F(MainFormStartUp, UnreadablePortListShowsTheErrorAndOpensTheReducedWindow) {
    ports::SetTtyClassRoot(ttyClass_.Path() + "/missing");
    CreateWindow();
    ASSERT_EQ(testsupport::ErrorBoxes::Texts().size(), 1);
    EXPECT_EQ(testsupport::ErrorBoxes::Texts()[0],
              QStringLiteral("Ошибка обращения к системному реестру."));
    TMainForm& f = *form_;
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.cbPort->count(), 0);
    EXPECT_EQ(f.cbBaudRate->ItemIndex(), -1);
    EXPECT_EQ(f.PulseLevel, 0.0);
    EXPECT_EQ(f.TrackBar1->Position(), 3);
    // The axes are fixed only after the port list has been read: here both stay automatic.
    EXPECT_TRUE(f.Chart1->LeftAxis().Automatic());
    EXPECT_TRUE(f.Chart1->BottomAxis().Automatic());
}

} // namespace

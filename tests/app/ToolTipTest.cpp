// The window's tooltips: what the frequency, duty and run-length controls tell the operator
// about the line, computed from the state at the moment the tooltip is asked for.
#include "tests/app/WindowFixture.h"

#include "platform/ui/FormatSettings.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TTrackBar.h"
#include "widgets/Spin.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

namespace {

class ToolTips : public testsupport::WindowTest {
protected:
    // The tooltip the control shows when the mouse rests on it; empty when none shows.
    static QString ToolTipOf(QWidget* control) {
        QToolTip::hideText();
        const QPoint at = control->rect().center();
        QHelpEvent event(QEvent::ToolTip, at, control->mapToGlobal(at));
        QApplication::sendEvent(control, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    // The frequency chosen with the track bar, which brings the list along.
    void ChooseFrequency(int index) { form_->TrackBar1->SetPosition(index); }
    // Texts with the locale's decimal separator where the figures have one.
    static QString Localised(const char* text) {
        return QString::fromUtf8(text).replace(u'.', ui::FormatSettings().DecimalSeparator);
    }
};

TEST_F(ToolTips, ThirtyWithFiveCharactersRunsTheBurstsBackToBack) {
    TMainForm& f = *form_;
    ChooseFrequency(0);
    ASSERT_EQ(f.cbBaudRate->currentText(), QStringLiteral("30"));
    ASSERT_EQ(f.Edit1->text(), QStringLiteral("fffff"));
    for (QWidget* control :
         {static_cast<QWidget*>(f.cbBaudRate), static_cast<QWidget*>(f.TrackBar1)}) {
        EXPECT_EQ(ToolTipOf(control), Localised("27.5 Гц на линии (110 бит/с)"));
    }
    const QString duty = QStringLiteral("Шаблон: 5 символов «f», 15 периодов в пачке\n"
                                        "Пачка 545 мс при 110 бит/с — не короче такта 100 мс:\n"
                                        "пачки идут одна за другой без паузы");
    for (QWidget* control : {static_cast<QWidget*>(f.Edit4), static_cast<QWidget*>(f.Button13),
                             static_cast<QWidget*>(f.Button14)}) {
        EXPECT_EQ(ToolTipOf(control), duty);
    }
}

TEST_F(ToolTips, ThreeHundredWithFiveCharactersFillsHalfTheTick) {
    TMainForm& f = *form_;
    ASSERT_EQ(f.cbBaudRate->currentText(), QStringLiteral("300"));
    EXPECT_EQ(ToolTipOf(f.cbBaudRate), QStringLiteral("300 Гц на линии (1200 бит/с)"));
    EXPECT_EQ(ToolTipOf(f.TrackBar1), QStringLiteral("300 Гц на линии (1200 бит/с)"));
    const QString duty = QStringLiteral("Шаблон: 5 символов «f», 15 периодов в пачке\n"
                                        "Пачка 50 мс при 1200 бит/с — 50 % такта 100 мс");
    for (QWidget* control : {static_cast<QWidget*>(f.Edit4), static_cast<QWidget*>(f.Button13),
                             static_cast<QWidget*>(f.Button14)}) {
        EXPECT_EQ(ToolTipOf(control), duty);
    }
}

TEST_F(ToolTips, FiguresFollowThePatternAndTheRateWhenNextShown) {
    TMainForm& f = *form_;
    f.Edit1->ChangeText(QStringLiteral("ffffff"));
    EXPECT_EQ(ToolTipOf(f.Button13),
              QStringLiteral("Шаблон: 6 символов «f», 18 периодов в пачке\n"
                             "Пачка 60 мс при 1200 бит/с — 60 % такта 100 мс"));
    ChooseFrequency(4);
    EXPECT_EQ(ToolTipOf(f.Edit4), QStringLiteral("Шаблон: 6 символов «f», 18 периодов в пачке\n"
                                                 "Пачка 30 мс при 2400 бит/с — 30 % такта 100 мс"));
    EXPECT_EQ(ToolTipOf(f.TrackBar1), QStringLiteral("600 Гц на линии (2400 бит/с)"));
}

TEST_F(ToolTips, PatternWithOtherCharactersIsNamedInsteadOfFigures) {
    TMainForm& f = *form_;
    Start();
    ASSERT_TRUE(Running());
    f.Edit1->setFocus(); // the hidden field, reachable with Tab during a run
    QTest::keyClicks(f.Edit1, QStringLiteral("fxf"));
    ASSERT_EQ(f.Edit1->text(), QStringLiteral("fxf"));
    EXPECT_EQ(ToolTipOf(f.Edit4),
              QStringLiteral("В шаблоне есть символы кроме «f»: импульсы на линии другие, "
                             "их длительность не рассчитывается"));
    Stop();
}

TEST_F(ToolTips, RunLengthInMinutesAndSeconds) {
    TMainForm& f = *form_;
    EXPECT_EQ(ToolTipOf(f.SpinEdit2), QStringLiteral("Продолжительность работы: 1 мин 40 с"));
    f.SpinEdit2->SetValue(45);
    EXPECT_EQ(ToolTipOf(f.SpinEdit2), QStringLiteral("Продолжительность работы: 45 с"));
    // Typed text beyond the range: the run START would make, clamped as leaving the entry does.
    f.SpinEdit2->setText(QStringLiteral("20000"));
    EXPECT_EQ(ToolTipOf(f.SpinEdit2), QStringLiteral("Продолжительность работы: 166 мин 40 с"));
}

} // namespace

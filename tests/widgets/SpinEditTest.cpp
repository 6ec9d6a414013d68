// Mouse input goes through the window system layer, so that the application's button state
// is what a real press gives (the entry asks it whether focus came with the left button).
#define QTEST_QPA_MOUSE_HANDLING

#include "widgets/Spin.h"
#include "widgets/SpinProbe.h"

#include "platform/ui/Application.h"
#include "platform/ui/ApplicationPrivate.h"
#include "platform/ui/Exception.h"
#include "tests/support/ErrorBoxes.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

// ReadOnly and MaxLength are the entry's one way to those settings: MaxLength reads 0 for
// "no limit" where the line edit would read its ceiling, so the line edit's own accessors must
// not be reachable beside them.
template <class Edit>
concept LineEditLengthReachable = requires(Edit& edit) { edit.setMaxLength(0); } ||
                                  requires(const Edit& edit) { edit.maxLength(); };
template <class Edit>
concept LineEditReadOnlyReachable = requires(Edit& edit) { edit.setReadOnly(true); } ||
                                    requires(const Edit& edit) { edit.isReadOnly(); };
static_assert(LineEditLengthReachable<QLineEdit> && LineEditReadOnlyReachable<QLineEdit>);
static_assert(!LineEditLengthReachable<TSpinEdit> && !LineEditReadOnlyReachable<TSpinEdit>);

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// A window like the main window's group box: the entry first in tab order, then a plain field.
class SpinEditWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(300, 120);
        edit = new TSpinEdit(window.get());
        edit->setGeometry(8, 16, 121, 47);
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setPixelSize(32);
        edit->setFont(font);
        edit->SetColor(clBlack);
        edit->SetFontColor(clLime);
        edit->SetMaxValue(10000);
        edit->SetMinValue(0);
        edit->SetValue(100);
        other = new QLineEdit(window.get());
        other->setGeometry(150, 16, 100, 30);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        testsupport::ErrorBoxes::Clear();
    }
    void TearDown() override { window.reset(); }

    void FocusOther() {
        other->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(other->hasFocus());
    }
    void Type(const QString& keys) {
        for (QChar c : keys) {
            QTest::keyClick(edit, c.toLatin1());
        }
    }
    QPoint Centre(QWidget* w) const { return w->rect().center(); }
    TTimerSpeedButton* Up() const { return edit->Button()->UpButton(); }
    TTimerSpeedButton* Down() const { return edit->Button()->DownButton(); }

    std::unique_ptr<QWidget> window;
    TSpinEdit* edit = nullptr;
    QLineEdit* other = nullptr;
};

TEST(SpinEditNew, NoRangeUntilBoundsDiffer) {
    TSpinEdit edit;
    EXPECT_EQ(edit.text(), QStringLiteral("0"));
    EXPECT_EQ(edit.Button()->FocusControl(), &edit);
    // No range: steps go on without bound.
    edit.SetValue(kMax - 1);
    edit.StepUp();
    edit.StepUp();
    EXPECT_EQ(edit.text(), QStringLiteral("2147483647")) << "saturated, not wrapped";
    edit.setText(QStringLiteral("-7"));
    edit.StepDown();
    EXPECT_EQ(edit.Value(), -8);
}

TEST_F(SpinEditWindow, StoredSettingsAndFirstFocusSelectAll) {
    EXPECT_EQ(edit->text(), QStringLiteral("100"));
    EXPECT_EQ(edit->size(), QSize(121, 47));
    // The first focusable control of the window gets the focus on show, with the text selected.
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->selectedText(), QStringLiteral("100"));
    // Tab order: the entry, then the field; the pair never takes the focus.
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus());
    QTest::keyClick(other, Qt::Key_Tab);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->selectedText(), QStringLiteral("100"));
}

TEST_F(SpinEditWindow, LayoutOfEntryAndPair) {
    EXPECT_EQ(edit->FrameWidth(), 2);
    // (101, 0) in the 117 × 43 client area.
    EXPECT_EQ(edit->Button()->geometry(), QRect(103, 2, 15, 42));
    EXPECT_EQ(Up()->geometry(), QRect(0, 0, 15, 21));
    EXPECT_EQ(Down()->geometry(), QRect(0, 20, 15, 22));
    EXPECT_EQ(TSpinProbe::TextRect(*edit), QRect(0, 0, 100, 44));
    // Too low for its font: it takes its minimum height and lays out again.
    edit->resize(121, 20);
    EXPECT_GT(edit->height(), 20);
    EXPECT_EQ(edit->Button()->height(), edit->height() - 5);
    edit->SetCtl3D(false);
    edit->resize(121, 47);
    EXPECT_EQ(edit->Button()->geometry(), QRect(1 + 106, 1 + 1, 15, 44));
}

TEST_F(SpinEditWindow, ValueReadsTheTextWithoutClamping) {
    edit->SetMinValue(5);
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {{"", 5},     {"-", 5},   {"1.5", 5},   {"20000", 20000}, {"007", 7},
                          {" 12", 12}, {"12 ", 5}, {"$FF", 255}, {"-3", -3},       {"abc", 5}};
    for (const Case& c : cases) {
        edit->setText(QString::fromLatin1(c.text));
        EXPECT_EQ(edit->Value(), c.value) << c.text;
    }
}

TEST_F(SpinEditWindow, ValueWriteClampsAndReportsOnlyRealChanges) {
    int changes = 0;
    edit->OnChange = [&] { ++changes; };
    edit->SetValue(100);
    EXPECT_EQ(changes, 0);
    edit->SetValue(20000);
    EXPECT_EQ(edit->text(), QStringLiteral("10000"));
    EXPECT_EQ(changes, 1);
    edit->SetValue(-4);
    EXPECT_EQ(edit->text(), QStringLiteral("0"));
    edit->setText(QStringLiteral("007"));
    EXPECT_EQ(changes, 3);
    edit->SetValue(7); // "7" differs from "007"
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    EXPECT_EQ(changes, 4);
    // An error of the handler reaches the writer.
    edit->OnChange = [] { throw Exception("handler failed"); };
    EXPECT_THROW(edit->SetValue(8), Exception);
    EXPECT_EQ(edit->text(), QStringLiteral("8"));
}

TEST_F(SpinEditWindow, LeavingRewritesOnlyWhenClampingChangesTheValue) {
    struct Case {
        const char* typed;
        const char* after;
    };
    // While the entry has the focus a number above the range reads as it stands.
    edit->setText(QStringLiteral("20000"));
    EXPECT_EQ(edit->Value(), 20000);
    const Case cases[] = {{"20000", "10000"}, {"007", "007"}, {"-5", "0"},
                          {"abc", "abc"},     {"", ""},       {"1.5", "1.5"}};
    for (const Case& c : cases) {
        edit->setFocus(Qt::TabFocusReason);
        edit->setText(QString::fromLatin1(c.typed));
        FocusOther();
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.after)) << c.typed;
    }
}

TEST_F(SpinEditWindow, StepsClampReadAndBeepWhenReadOnly) {
    edit->SetValue(10000);
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), QStringLiteral("10000"));
    edit->setText(QStringLiteral("10500"));
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), QStringLiteral("10000"));
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), QStringLiteral("9999"));
    edit->SetIncrement(250);
    edit->StepDown();
    EXPECT_EQ(edit->text(), QStringLiteral("9749"));
    edit->setText(QStringLiteral("x"));
    edit->StepUp(); // from MinValue
    EXPECT_EQ(edit->text(), QStringLiteral("250"));

    edit->SetReadOnly(true);
    const int beeps = ui::BeepCount();
    edit->StepUp();
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(ui::BeepCount(), beeps + 2);
    EXPECT_EQ(edit->text(), QStringLiteral("250"));
}

TEST_F(SpinEditWindow, TypedCharacterFilterAndBeeps) {
    edit->setText(QString());
    int beeps = ui::BeepCount();
    Type(QStringLiteral("12a-+.x"));
    EXPECT_EQ(edit->text(), QStringLiteral("12-+."));
    EXPECT_EQ(ui::BeepCount(), beeps + 2);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter);
    QTest::keyClick(edit, Qt::Key_Space);
    EXPECT_EQ(ui::BeepCount(), beeps + 5) << "Enter always beeps";
    EXPECT_EQ(edit->text(), QStringLiteral("12-+."));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("12-+"));
    EXPECT_EQ(ui::BeepCount(), beeps + 5);

    edit->SetEditorEnabled(false);
    beeps = ui::BeepCount();
    Type(QStringLiteral("5-"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(ui::BeepCount(), beeps + 4);
    EXPECT_EQ(edit->text(), QStringLiteral("12-+"));
    // Control characters still pass (Ctrl+A selects all), and the arrows still step.
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("12-+"));
    edit->setText(QStringLiteral("41"));
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), QStringLiteral("42"));
    EXPECT_EQ(ui::BeepCount(), beeps + 4);
}

TEST_F(SpinEditWindow, PasteAndCutFollowEditorEnabledAndReadOnly) {
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral(" 12"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral(" 12")) << "pasted text is not filtered";
    EXPECT_EQ(edit->Value(), 12);
    clipboard->setText(QStringLiteral("abc"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("abc"));
    EXPECT_EQ(edit->Value(), 0);

    const int beeps = ui::BeepCount();
    for (bool editorEnabled : {false, true}) {
        edit->SetEditorEnabled(editorEnabled);
        edit->SetReadOnly(editorEnabled); // one of the two blocks each round
        edit->setText(QStringLiteral("77"));
        clipboard->setText(QStringLiteral("5"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), QStringLiteral("77"));
        EXPECT_EQ(clipboard->text(), QStringLiteral("5"));
    }
    EXPECT_EQ(ui::BeepCount(), beeps) << "ignored without a beep";

    edit->SetReadOnly(false);
    edit->SetEditorEnabled(true);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QString());
    EXPECT_EQ(clipboard->text(), QStringLiteral("77"));
}

TEST_F(SpinEditWindow, EnteringSelectsAllUnlessByLeftMousePress) {
    FocusOther();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(30, 20));
    ASSERT_TRUE(edit->hasFocus());
    EXPECT_FALSE(edit->hasSelectedText());
    FocusOther();
    edit->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("100"));
    FocusOther();
    edit->SetAutoSelect(false);
    edit->setFocus(Qt::TabFocusReason);
    edit->deselect();
    FocusOther();
    edit->setFocus(Qt::OtherFocusReason);
    EXPECT_FALSE(edit->hasSelectedText());
}

TEST_F(SpinEditWindow, PressingAButtonMovesTheFocusToTheEntry) {
    FocusOther();
    QTest::mousePress(Up(), Qt::LeftButton, {}, Centre(Up()));
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_FALSE(edit->hasSelectedText()) << "the focus came with a left press";
    EXPECT_TRUE(Up()->Down());
    QTest::mouseRelease(Up(), Qt::LeftButton, {}, Centre(Up()));
    EXPECT_FALSE(Up()->Down());
    EXPECT_EQ(edit->text(), QStringLiteral("101")) << "a short click steps once, on release";
    // Quick clicks step once each, the second arriving as a double click.
    FocusOther();
    QTest::mouseDClick(Up(), Qt::LeftButton, {}, Centre(Up()));
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), QStringLiteral("103"));
}

TEST_F(SpinEditWindow, HeldButtonRepeatsAfter400ThenEvery100Milliseconds) {
    QTest::mousePress(Up(), Qt::LeftButton, {}, Centre(Up()));
    ui::TTimer* timer = TSpinProbe::RepeatTimer(*Up());
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 400);
    EXPECT_EQ(edit->text(), QStringLiteral("100")) << "no step on the press itself";
    // Ticks at 400, 500, … 1000 ms: seven steps while held.
    for (int tick = 1; tick <= 7; ++tick) {
        timer->OnTimer();
        EXPECT_EQ(timer->Interval(), 100);
        EXPECT_EQ(edit->Value(), 100 + tick);
    }
    QTest::mouseRelease(Up(), Qt::LeftButton, {}, Centre(Up()));
    EXPECT_EQ(edit->Value(), 108) << "and one more on release over the button";
    EXPECT_FALSE(timer->Enabled());

    // A new press starts again from 400 ms.
    QTest::mousePress(Down(), Qt::LeftButton, {}, Centre(Down()));
    ASSERT_NE(TSpinProbe::RepeatTimer(*Down()), nullptr);
    EXPECT_EQ(TSpinProbe::RepeatTimer(*Down())->Interval(), 400);
    TSpinProbe::RepeatTimer(*Down())->OnTimer();
    EXPECT_EQ(edit->Value(), 107);
    // Dragged off: shown raised, ticks do nothing, release adds no step.
    QTest::mouseMove(Down(), QPoint(Down()->width() + 30, 5));
    EXPECT_FALSE(Down()->Down());
    TSpinProbe::RepeatTimer(*Down())->OnTimer();
    TSpinProbe::RepeatTimer(*Down())->OnTimer();
    EXPECT_EQ(edit->Value(), 107);
    // Back over it: ticks step again.
    QTest::mouseMove(Down(), Centre(Down()));
    EXPECT_TRUE(Down()->Down());
    TSpinProbe::RepeatTimer(*Down())->OnTimer();
    EXPECT_EQ(edit->Value(), 106);
    QTest::mouseMove(Down(), QPoint(-40, 5));
    QTest::mouseRelease(Down(), Qt::LeftButton, {}, QPoint(-40, 5));
    EXPECT_EQ(edit->Value(), 106);
    EXPECT_FALSE(TSpinProbe::RepeatTimer(*Down())->Enabled());
}

TEST_F(SpinEditWindow, HeldButtonRepeatsOnTheRealTimer) {
    std::vector<qint64> steps;
    QElapsedTimer clock;
    edit->OnChange = [&] { steps.push_back(clock.elapsed()); };
    clock.start();
    QTest::mousePress(Up(), Qt::LeftButton, {}, Centre(Up()));
    QTest::qWait(1050);
    const std::size_t whileHeld = steps.size();
    QTest::mouseRelease(Up(), Qt::LeftButton, {}, Centre(Up()));
    // Timers may come late on a loaded machine, never early.
    ASSERT_GE(whileHeld, 1u);
    EXPECT_LE(whileHeld, 7u);
    // The k-th repeat is due 400 + 100 × k ms after the press.
    for (std::size_t i = 0; i < whileHeld; ++i) {
        EXPECT_GE(steps[i], 395 + 100 * static_cast<qint64>(i)) << i;
    }
    EXPECT_EQ(steps.size(), whileHeld + 1);
}

TEST_F(SpinEditWindow, ErrorWhileRepeatingStopsTheRepeat) {
    QTest::mousePress(Up(), Qt::LeftButton, {}, Centre(Up()));
    ui::TTimer* timer = TSpinProbe::RepeatTimer(*Up());
    edit->OnChange = [] { throw Exception("handler failed"); };
    EXPECT_THROW(timer->OnTimer(), Exception);
    EXPECT_FALSE(timer->Enabled());
    edit->OnChange = nullptr;
    QTest::mouseRelease(Up(), Qt::LeftButton, {}, Centre(Up()));
    EXPECT_TRUE(testsupport::ErrorBoxes::Texts().isEmpty());
}

TEST_F(SpinEditWindow, ReadOnlyRepeatBeepsOnEveryTick) {
    edit->SetReadOnly(true);
    const int beeps = ui::BeepCount();
    QTest::mousePress(Up(), Qt::LeftButton, {}, Centre(Up()));
    TSpinProbe::RepeatTimer(*Up())->OnTimer();
    TSpinProbe::RepeatTimer(*Up())->OnTimer();
    QTest::mouseRelease(Up(), Qt::LeftButton, {}, Centre(Up()));
    EXPECT_EQ(ui::BeepCount(), beeps + 3);
    EXPECT_EQ(edit->text(), QStringLiteral("100"));
}

} // namespace

TEST(SpinEditSettings, MaxLengthZeroOrLessMeansNoLimit) {
    TSpinEdit edit;
    EXPECT_EQ(edit.MaxLength(), 0);
    edit.SetMaxLength(3);
    EXPECT_EQ(edit.MaxLength(), 3);
    edit.setText(QStringLiteral("12345"));
    EXPECT_EQ(edit.text(), QStringLiteral("123"));
    edit.SetMaxLength(-5);
    EXPECT_EQ(edit.MaxLength(), 0);
    edit.setText(QStringLiteral("1234567"));
    EXPECT_EQ(edit.text(), QStringLiteral("1234567"));
}

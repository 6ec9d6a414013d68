#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TTrackBar.h"

#include "tests/support/ActiveWindow.h"
#include "tests/support/ErrorBoxes.h"

#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The position and the selection have one way in each: the toolkit's setters, which would
// bypass the notification rules (a selection set through them counts as the user's), are not
// reachable through the controls.
template <class Slider>
concept SliderValueReachable =
    requires(Slider& bar) { bar.setValue(1); } || requires(const Slider& bar) { bar.value(); };
template <class Box>
concept BoxIndexReachable = requires(Box& box) { box.setCurrentIndex(1); } ||
                            requires(const Box& box) { box.currentIndex(); };
static_assert(SliderValueReachable<QSlider> && !SliderValueReachable<ui::TTrackBar>);
static_assert(BoxIndexReachable<QComboBox> && !BoxIndexReachable<ui::TComboBox>);

class TrackBarNotifications : public ::testing::Test {
protected:
    void SetUp() override {
        bar.setRange(0, 4);
        bar.setPageStep(1);
        bar.setGeometry(0, 0, 345, 33);
        bar.SetPosition(3);
        bar.OnChange = [this] { positions.push_back(bar.Position()); };
    }
    ui::TTrackBar bar;
    std::vector<int> positions;
};

TEST_F(TrackBarNotifications, PositionSetInCodeNotifiesOnlyOnRealChange) {
    bar.SetPosition(3);
    EXPECT_TRUE(positions.empty());
    bar.SetPosition(1);
    EXPECT_EQ(positions, std::vector<int>{1});
}

TEST_F(TrackBarNotifications, KeyStepNotifiesWithNewPositionThenOnceMoreOnRelease) {
    QTest::keyPress(&bar, Qt::Key_Right);
    EXPECT_EQ(positions, std::vector<int>{4});
    QTest::keyRelease(&bar, Qt::Key_Right);
    EXPECT_EQ(positions, (std::vector<int>{4, 4}));
}

TEST_F(TrackBarNotifications, UserStepAtTheEndStillNotifies) {
    bar.SetPosition(4);
    positions.clear();
    QTest::keyClick(&bar, Qt::Key_Right);
    EXPECT_EQ(positions, (std::vector<int>{4, 4}));
}

TEST_F(TrackBarNotifications, DragNotifiesOnMovesAndAtRelease) {
    bar.show();
    const QStyleOptionSlider option = [&] {
        QStyleOptionSlider o;
        o.initFrom(&bar);
        o.orientation = Qt::Horizontal;
        o.minimum = 0;
        o.maximum = 4;
        o.sliderPosition = 3;
        o.sliderValue = 3;
        return o;
    }();
    const QRect handle =
        bar.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &bar);
    QTest::mousePress(&bar, Qt::LeftButton, {}, handle.center());
    QTest::mouseMove(&bar, QPoint(5, handle.center().y()));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(5, handle.center().y()));
    ASSERT_GE(positions.size(), 2u);
    EXPECT_EQ(positions.front(), 0);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(bar.Position(), 0);
}

TEST(ComboBoxChanges, CodeSelectionIsSilentUserSelectionNotifies) {
    ui::TComboBox box;
    box.addItems({"30", "75", "150", "300", "600"});
    std::vector<int> seen;
    box.OnChange = [&] { seen.push_back(box.ItemIndex()); };
    box.SetItemIndex(3);
    EXPECT_TRUE(seen.empty());
    QTest::keyClick(&box, Qt::Key_Down);
    EXPECT_EQ(seen, std::vector<int>{4});
    // Backspace runs it once more with the unchanged index.
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(seen, (std::vector<int>{4, 4}));
}

TEST(ComboBoxChanges, TypedPrefixSelectsFirstMatchingItem) {
    ui::TComboBox box;
    box.addItems({"30", "75", "150", "300", "600"});
    box.SetItemIndex(1);
    std::vector<int> seen;
    box.OnChange = [&] { seen.push_back(box.ItemIndex()); };
    QTest::keyClicks(&box, "300");
    // "3" selects "30", "30" keeps it, "300" selects "300".
    EXPECT_EQ(seen, (std::vector<int>{0, 3}));
    QThread::msleep(ui::TComboBox::kSearchInterval + 100);
    QTest::keyClick(&box, '6');
    EXPECT_EQ(box.ItemIndex(), 4);
    QTest::keyClick(&box, '9'); // "69" matches nothing: the selection stays
    EXPECT_EQ(box.ItemIndex(), 4);
    EXPECT_EQ(seen, (std::vector<int>{0, 3, 4}));
}

TEST(ComboBoxChanges, PauseLongerThanTheIntervalStartsANewPrefix) {
    ui::TComboBox box;
    box.addItems({"30", "75", "150", "300", "600"});
    box.SetItemIndex(2);
    QTest::keyClick(&box, '3');
    EXPECT_EQ(box.ItemIndex(), 0);
    QThread::msleep(ui::TComboBox::kSearchInterval + 100);
    QTest::keyClick(&box, '0'); // a fresh "0" matches nothing
    EXPECT_EQ(box.ItemIndex(), 0);
}

} // namespace

namespace {

TEST(EditField, KeepsItsSelectionWhenTheFocusLeavesSoTypedCharactersReplaceIt) {
    QWidget window;
    auto* first = new ui::TEdit(&window);
    auto* second = new ui::TEdit(&window);
    first->ChangeText(QStringLiteral("fffff"));
    second->ChangeText(QStringLiteral("|||||"));
    ASSERT_TRUE(testsupport::ShowActive(window));
    // Focus given in code selects the whole text.
    first->setFocus(Qt::OtherFocusReason);
    second->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(first->selectedText(), QStringLiteral("fffff"));
    EXPECT_EQ(second->selectedText(), QStringLiteral("|||||"));
    first->TypeChar(u'f');
    second->TypeChar(u'|');
    EXPECT_EQ(first->text(), QStringLiteral("f"));
    EXPECT_EQ(second->text(), QStringLiteral("|"));
    first->TypeChar(u'f');
    EXPECT_EQ(first->text(), QStringLiteral("ff"));
    first->TypeChar(u'\b');
    first->TypeChar(u'\b');
    first->TypeChar(u'\b'); // nothing left to delete
    EXPECT_EQ(first->text(), QString());
}

TEST(EditField, ChangeTextShowsTheBeginning) {
    ui::TEdit edit;
    edit.ChangeText(QStringLiteral("5:13:32 pm"));
    EXPECT_EQ(edit.cursorPosition(), 0);
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

TEST(EditField, ChangeTextOfTheShownTextRepaintsNothingButStillUndoesEdits) {
    QWidget window;
    auto* edit = new ui::TEdit(&window);
    edit->setFocusPolicy(Qt::NoFocus); // no blinking caret among the paints counted
    edit->ChangeText(QStringLiteral("07.12.2026"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(100); // the first paints are done
    TPaintCounter counter;
    edit->installEventFilter(&counter);
    edit->ChangeText(QStringLiteral("07.12.2026")); // the clock's next tick on the same day
    QTest::qWait(50);
    EXPECT_EQ(counter.paints, 0);
    edit->ChangeText(QStringLiteral("08.12.2026"));
    QTRY_VERIFY(counter.paints > 0);
    // A moved caret, a selection or typed text are still put right.
    edit->setCursorPosition(4);
    edit->ChangeText(QStringLiteral("08.12.2026"));
    EXPECT_EQ(edit->cursorPosition(), 0);
    edit->setSelection(2, -2); // caret at the start, two characters selected
    edit->ChangeText(QStringLiteral("08.12.2026"));
    EXPECT_FALSE(edit->hasSelectedText());
    edit->setText(QStringLiteral("typed"));
    edit->ChangeText(QStringLiteral("08.12.2026"));
    EXPECT_EQ(edit->text(), QStringLiteral("08.12.2026"));
    EXPECT_EQ(edit->cursorPosition(), 0);
    edit->removeEventFilter(&counter);
}

TEST(EditField, MousePressDoesNotSelectAll) {
    QWidget window;
    auto* edit = new ui::TEdit(&window);
    edit->ChangeText(QStringLiteral("abc"));
    ASSERT_TRUE(testsupport::ShowActive(window));
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(2, edit->height() / 2));
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_FALSE(edit->hasSelectedText());
}

} // namespace

namespace {

TEST(Button, ArrowKeysWalkTheControlsOfItsParentAndWrap) {
    QWidget window;
    auto* group = new QWidget(&window);
    auto* hidden = new ui::TEdit(group);
    auto* edit = new ui::TEdit(group);
    auto* plus = new ui::TButton(group);
    auto* minus = new ui::TButton(group);
    auto* outside = new ui::TButton(&window);
    (void)outside;
    hidden->setEnabled(false);
    ASSERT_TRUE(testsupport::ShowActive(window));
    minus->setFocus();
    QTest::keyClick(minus, Qt::Key_Down);
    EXPECT_TRUE(edit->hasFocus()); // wrapped round, skipping the disabled field
    QTest::keyClick(plus, Qt::Key_Up);
    EXPECT_TRUE(edit->hasFocus());
    hidden->setEnabled(true);
    minus->setFocus();
    QTest::keyClick(minus, Qt::Key_Right);
    EXPECT_TRUE(hidden->hasFocus());
    EXPECT_EQ(hidden->selectedText(), hidden->text());
}

TEST(Button, ClickRunsOnClickAndReportsItsErrors) {
    ui::TButton button;
    int clicks = 0;
    button.OnClick = [&] {
        ++clicks;
        throw std::runtime_error("Ошибка записи в порт");
    };
    testsupport::ErrorBoxes::Clear();
    button.click();
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(testsupport::ErrorBoxes::Texts().size(), 1);
    EXPECT_EQ(testsupport::ErrorBoxes::Texts()[0], QStringLiteral("Ошибка записи в порт."));
}

} // namespace

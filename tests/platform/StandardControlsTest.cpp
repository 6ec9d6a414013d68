#include "platform/ui/TComboBox.h"
#include "platform/ui/TTrackBar.h"

#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class TrackBarNotifications : public ::testing::Test {
protected:
    void SetUp() override {
        bar.setRange(0, 4);
        bar.setPageStep(1);
        bar.setGeometry(0, 0, 345, 33);
        bar.setValue(3);
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

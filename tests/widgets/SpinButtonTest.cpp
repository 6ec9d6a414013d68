#define QTEST_QPA_MOUSE_HANDLING

#include "widgets/Spin.h"
#include "widgets/SpinProbe.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kOlive = 0xFF808000;

TEST(SpinGlyphs, BuiltInTrianglesOnOlive) {
    for (const char* name : {"SpinUp", "spinup", "SPINDOWN", "SpinDown"}) {
        const QImage glyph = LoadSpinGlyph(QString::fromLatin1(name));
        ASSERT_EQ(glyph.size(), QSize(9, 6)) << name;
        EXPECT_LE(glyph.colorCount(), 16);
        const bool up = QString::fromLatin1(name).compare(u"SpinUp", Qt::CaseInsensitive) == 0;
        for (int y = 0; y < 6; ++y) {
            // Row widths 0, 1, 3, 5, 7, 0 for the up glyph, mirrored for the down glyph.
            const int step = up ? y - 1 : 4 - y;
            for (int x = 0; x < 9; ++x) {
                const bool inside = y >= 1 && y <= 4 && std::abs(x - 4) <= step;
                EXPECT_EQ(glyph.pixel(x, y), inside ? kBlack : kOlive) << name << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(LoadSpinGlyph(u"Spin").isNull());
}

class SpinButtonAlone : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(200, 100);
        field = new QLineEdit(window.get());
        field->setGeometry(0, 0, 80, 25);
        pair = new TSpinButton(window.get());
        pair->move(100, 10);
        pair->OnUpClick = [this](TSpinButton* sender) {
            EXPECT_EQ(sender, pair);
            ++ups;
        };
        pair->OnDownClick = [this](TSpinButton*) { ++downs; };
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        field->setFocus();
    }
    void Click(TTimerSpeedButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }

    std::unique_ptr<QWidget> window;
    QLineEdit* field = nullptr;
    TSpinButton* pair = nullptr;
    int ups = 0;
    int downs = 0;
};

TEST_F(SpinButtonAlone, NewPairLayoutAndGlyphsOnScreen) {
    EXPECT_EQ(pair->size(), QSize(20, 25));
    EXPECT_EQ(pair->UpButton()->geometry(), QRect(0, 0, 20, 12));
    EXPECT_EQ(pair->DownButton()->geometry(), QRect(0, 11, 20, 14));
    pair->resize(8, 30);
    EXPECT_EQ(pair->width(), 15) << "never narrower than 15";
    EXPECT_EQ(pair->DownButton()->geometry(), QRect(0, 14, 15, 16));

    pair->resize(15, 42);
    const QImage image = pair->UpButton()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // 9 × 6 glyph centred in 15 × 21: at (3, 7); apex at (7, 8), base row 11 from 4 to 10.
    EXPECT_EQ(image.pixel(7, 8), kBlack);
    EXPECT_EQ(image.pixel(4, 11), kBlack);
    EXPECT_EQ(image.pixel(10, 11), kBlack);
    const QRgb face = ColorToQColor(clBtnFace).rgb();
    EXPECT_EQ(image.pixel(6, 8), face) << "olive is transparent";
    EXPECT_EQ(image.pixel(3, 12), face);
    // Pressed: the glyph moves one pixel right and down.
    QTest::mousePress(pair->UpButton(), Qt::LeftButton, {}, QPoint(7, 10));
    const QImage pressed = pair->UpButton()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(pressed.pixel(8, 9), kBlack);
    EXPECT_EQ(pressed.pixel(7, 8), face);
    QTest::mouseRelease(pair->UpButton(), Qt::LeftButton, {}, QPoint(7, 10));

    // Assigning no glyph restores the built-in one.
    QImage custom(4, 4, QImage::Format_RGB32);
    custom.fill(Qt::red);
    pair->SetUpGlyph(custom);
    EXPECT_EQ(pair->UpGlyph().size(), QSize(4, 4));
    pair->SetUpGlyph(QImage());
    EXPECT_EQ(pair->UpGlyph().size(), QSize(9, 6));
}

TEST_F(SpinButtonAlone, WithoutTabStopItNeverTakesTheFocus) {
    Click(pair->UpButton());
    EXPECT_EQ(ups, 1);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_FALSE(pair->hasFocus());
}

TEST_F(SpinButtonAlone, FocusControlReceivesTheFocusAndIsForgottenWhenDestroyed) {
    auto* target = new QLineEdit(window.get());
    target->setGeometry(0, 40, 80, 25);
    target->show();
    pair->SetFocusControl(target);
    Click(pair->DownButton());
    EXPECT_TRUE(target->hasFocus());
    EXPECT_EQ(downs, 1);
    delete target;
    EXPECT_EQ(pair->FocusControl(), nullptr);
    field->setFocus();
    Click(pair->DownButton());
    EXPECT_EQ(downs, 2);
}

TEST_F(SpinButtonAlone, AsFocusHolderWithTabStop) {
    pair->SetTabStop(true);
    Click(pair->DownButton());
    ASSERT_TRUE(pair->hasFocus());
    EXPECT_EQ(TSpinProbe::FocusedButton(*pair), pair->DownButton());
    EXPECT_TRUE(pair->DownButton()->ShowFocusFrame());
    EXPECT_FALSE(pair->UpButton()->ShowFocusFrame());
    EXPECT_EQ(downs, 1);

    QTest::keyClick(pair, Qt::Key_Space);
    EXPECT_EQ(downs, 2);
    QTest::keyClick(pair, Qt::Key_Up);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(TSpinProbe::FocusedButton(*pair), pair->UpButton());
    EXPECT_TRUE(pair->UpButton()->ShowFocusFrame());
    QTest::keyClick(pair, Qt::Key_Space);
    EXPECT_EQ(ups, 2);
    QTest::keyClick(pair, Qt::Key_Down);
    EXPECT_EQ(downs, 3);

    // The dotted frame stands 3 pixels inside the focused button.
    pair->resize(20, 40);
    const QImage image = pair->DownButton()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int framePixels = 0;
    for (int x = 3; x < pair->DownButton()->width() - 3; ++x) {
        framePixels += image.pixel(x, 3) == 0xFF000000 ? 1 : 0;
    }
    EXPECT_GT(framePixels, 3);
    EXPECT_LT(framePixels, pair->DownButton()->width() - 6) << "dotted, not solid";

    field->setFocus();
    EXPECT_FALSE(pair->DownButton()->ShowFocusFrame());
}

} // namespace

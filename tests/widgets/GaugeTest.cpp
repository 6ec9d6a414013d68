#include "widgets/Gauges.h"

#include "platform/ui/Exception.h"
#include "tests/support/ErrorBoxes.h"
#include "widgets/GaugeMetrics.h"
#include "widgets/GaugesPrivate.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kCyan = 0xFF00FFFF;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlue = 0xFF0000FF;

QFont BigFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(32);
    return font;
}

// The main window's gauge: 585 × 44, single border, black back, red fore, 32-pixel font.
void MakeMainWindowGauge(TGauge& gauge) {
    gauge.setGeometry(8, 21, 585, 44);
    gauge.BeginLoading();
    gauge.SetBackColor(clBlack);
    gauge.SetForeColor(clRed);
    gauge.SetColor(clBtnFace);
    gauge.setFont(BigFont());
    gauge.SetProgress(0);
    gauge.EndLoading();
}

// Where the centred percentage text of the gauge stands.
QRect TextBox(const TGauge& gauge) {
    QFont font = gauge.font();
    font.setStyleStrategy(QFont::NoAntialias);
    QImage probe(1, 1, QImage::Format_RGB32);
    const QFontMetrics metrics(font, &probe);
    const QString text = QStringLiteral("%1%").arg(gauge.PercentComplete());
    const int inset = gauge.BorderStyle() == bsSingle ? 1 : 0;
    const QPoint origin =
        gauge::TextOrigin(inset, inset, gauge.width() - inset, gauge.height() - inset,
                          metrics.horizontalAdvance(text), metrics.height());
    return QRect(origin, QSize(metrics.horizontalAdvance(text), metrics.height()));
}

struct Census {
    int count = 0;
    int outside = 0; // of those, outside the allowed box
};

Census CountColour(const QImage& image, const QRect& area, QRgb colour, const QRect& allowed) {
    Census census;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) == colour) {
                ++census.count;
                if (!allowed.contains(x, y)) {
                    ++census.outside;
                }
            }
        }
    }
    return census;
}

void ExpectBlackFrame(const QImage& image) {
    for (int x = 0; x < image.width(); ++x) {
        ASSERT_EQ(image.pixel(x, 0), kBlack) << x;
        ASSERT_EQ(image.pixel(x, image.height() - 1), kBlack) << x;
    }
    for (int y = 0; y < image.height(); ++y) {
        ASSERT_EQ(image.pixel(0, y), kBlack) << y;
        ASSERT_EQ(image.pixel(image.width() - 1, y), kBlack) << y;
    }
}

TEST(GaugePixels, MainWindowAtQuarter) {
    TGauge gauge;
    MakeMainWindowGauge(gauge);
    gauge.SetProgress(25);
    const QImage image = gauge.Render();
    ASSERT_EQ(image.size(), QSize(585, 44));
    ExpectBlackFrame(image);
    const QRect text = TextBox(gauge);
    ASSERT_GT(text.left(), 146) << "the text must not reach the bar for this check";
    // The bar: columns 1 … 145 of rows 1 … 42, nothing else red.
    const QRect inner(1, 1, 583, 42);
    EXPECT_EQ(CountColour(image, inner, kRed, QRect(1, 1, 145, 42)).count, 145 * 42);
    EXPECT_EQ(CountColour(image, inner, kRed, QRect(1, 1, 145, 42)).outside, 0);
    // The text "25%" is white over the black back, inside its box only.
    const Census white = CountColour(image, inner, kWhite, text);
    EXPECT_GT(white.count, 50);
    EXPECT_EQ(white.outside, 0);
    EXPECT_EQ(CountColour(image, inner, kBlack, QRect()).count + 145 * 42 + white.count, 583 * 42);
}

TEST(GaugePixels, MainWindowFullShowsCyanTextOverRed) {
    TGauge gauge;
    MakeMainWindowGauge(gauge);
    gauge.SetProgress(100000); // clamped to MaxValue
    EXPECT_EQ(gauge.Progress(), 100);
    const QImage image = gauge.Render();
    ExpectBlackFrame(image);
    const QRect inner(1, 1, 583, 42);
    const QRect text = TextBox(gauge);
    const Census cyan = CountColour(image, inner, kCyan, text);
    const Census red = CountColour(image, inner, kRed, QRect());
    EXPECT_GT(cyan.count, 50);
    EXPECT_EQ(cyan.outside, 0);
    EXPECT_EQ(red.count + cyan.count, 583 * 42) << "every inner pixel is red or cyan";
}

TEST(GaugePixels, MainWindowEmptyShowsWhiteTextOnBlack) {
    TGauge gauge;
    MakeMainWindowGauge(gauge);
    const QImage image = gauge.Render();
    ExpectBlackFrame(image);
    const QRect inner(1, 1, 583, 42);
    const Census white = CountColour(image, inner, kWhite, TextBox(gauge));
    EXPECT_GT(white.count, 30);
    EXPECT_EQ(white.outside, 0);
    EXPECT_EQ(CountColour(image, inner, kRed, QRect()).count, 0);
}

TEST(GaugePixels, TextLeftOfTheBoxIsClippedToThePaintRectangle) {
    // 30 pixels are too narrow for "100%" in a 32-pixel font: X is negative, the text is cut at
    // the paint rectangle and the frame stays black.
    TGauge gauge;
    gauge.resize(30, 44);
    gauge.SetForeColor(clRed);
    gauge.SetBackColor(clBlack);
    gauge.setFont(BigFont());
    gauge.SetProgress(100);
    ASSERT_LT(TextBox(gauge).left(), 0);
    const QImage image = gauge.Render();
    ExpectBlackFrame(image);
    EXPECT_GT(CountColour(image, QRect(1, 1, 28, 42), kCyan, QRect()).count, 0);
}

TEST(GaugePixels, NoBorderPaintsTheWholeGauge) {
    TGauge gauge;
    MakeMainWindowGauge(gauge);
    gauge.SetBorderStyle(bsNone);
    gauge.SetShowText(false);
    gauge.SetProgress(100);
    const QImage image = gauge.Render();
    EXPECT_EQ(CountColour(image, image.rect(), kRed, QRect()).count, 585 * 44);
    gauge.SetProgress(25);
    // W = 586, F = 146: columns 0 … 145.
    const QImage quarter = gauge.Render();
    EXPECT_EQ(quarter.pixel(0, 0), kRed);
    EXPECT_EQ(quarter.pixel(145, 43), kRed);
    EXPECT_EQ(quarter.pixel(146, 0), kBlack);
}

TEST(GaugePixels, TextStyleIsBackColourOnly) {
    TGauge gauge;
    gauge.resize(50, 20);
    gauge.SetKind(gkText);
    gauge.SetShowText(false);
    gauge.SetBackColor(clBlue);
    gauge.SetForeColor(clRed);
    gauge.SetProgress(60);
    const QImage image = gauge.Render();
    ExpectBlackFrame(image);
    EXPECT_EQ(CountColour(image, QRect(1, 1, 48, 18), 0xFF0000FF, QRect()).count, 48 * 18);
}

TEST(GaugePixels, VerticalBarGrowsUpward) {
    TGauge gauge; // 100 × 100: paint rectangle (1, 1, 99, 99), W = H = 99
    gauge.SetKind(gkVerticalBar);
    gauge.SetShowText(false);
    gauge.SetForeColor(clRed);
    gauge.SetBackColor(clWhite);
    gauge.SetProgress(50); // F = 49: rows 50 … 98
    QImage image = gauge.Render();
    ExpectBlackFrame(image);
    EXPECT_EQ(image.pixel(1, 49), kWhite);
    EXPECT_EQ(image.pixel(1, 50), kRed);
    EXPECT_EQ(image.pixel(98, 98), kRed);
    EXPECT_EQ(CountColour(image, QRect(1, 1, 98, 98), kRed, QRect()).count, 98 * 49);
    gauge.SetProgress(100); // F = 99 ≥ H, so 98: the whole inner area
    image = gauge.Render();
    EXPECT_EQ(CountColour(image, QRect(1, 1, 98, 98), kRed, QRect()).count, 98 * 98);
    gauge.SetProgress(1); // F = 0: no bar
    image = gauge.Render();
    EXPECT_EQ(CountColour(image, QRect(1, 1, 98, 98), kRed, QRect()).count, 0);
}

struct PieCase {
    int percent;
    // Colours inside the dial at its four diagonal quarters: top-right, bottom-right,
    // bottom-left, top-left (clockwise from twelve).
    QRgb quarters[4];
};

TEST(GaugePixels, PieGrowsClockwiseFromTwelve) {
    TGauge gauge;
    gauge.resize(101, 101);
    gauge.SetKind(gkPie);
    gauge.SetShowText(false);
    gauge.SetForeColor(clRed);
    gauge.SetBackColor(clWhite);
    gauge.SetColor(clBlue);
    const PieCase cases[] = {
        {0, {kWhite, kWhite, kWhite, kWhite}}, {25, {kRed, kWhite, kWhite, kWhite}},
        {50, {kRed, kRed, kWhite, kWhite}},    {75, {kRed, kRed, kRed, kWhite}},
        {100, {kRed, kRed, kRed, kRed}},       {10, {kWhite, kWhite, kWhite, kWhite}},
    };
    const QPoint quarters[4] = {{75, 25}, {75, 75}, {25, 75}, {25, 25}};
    for (const PieCase& c : cases) {
        gauge.SetProgress(c.percent);
        const QImage image = gauge.Render();
        ExpectBlackFrame(image);
        for (int q = 0; q < 4; ++q) {
            EXPECT_EQ(image.pixel(quarters[q]), c.quarters[q]) << c.percent << "% quarter " << q;
        }
        // Outside the dial: the control colour.
        EXPECT_EQ(image.pixel(3, 3), kBlue);
        EXPECT_EQ(image.pixel(97, 97), kBlue);
    }
    // 10 % covers 36 degrees: just right of twelve, not yet at one thirty.
    gauge.SetProgress(10);
    const QImage image = gauge.Render();
    EXPECT_EQ(image.pixel(55, 20), kRed);
    EXPECT_EQ(image.pixel(45, 20), kWhite);
}

TEST(GaugePixels, NeedleStandsOnTheBaseAndPointsByPercentage) {
    TGauge gauge; // 101 × 51: paint rectangle (1, 1, 100, 50), W = 100, H = 50, cx = 50
    gauge.resize(101, 51);
    gauge.SetKind(gkNeedle);
    gauge.SetShowText(false);
    gauge.SetForeColor(clRed);
    gauge.SetBackColor(clWhite);
    gauge.SetColor(clBlue);

    gauge.SetProgress(0);
    QImage image = gauge.Render();
    EXPECT_EQ(image.pixel(50, 25), kWhite) << "no needle at 0 %";
    EXPECT_EQ(image.pixel(3, 3), kBlue) << "the corner outside the dial";
    // The base line runs along the bottom edge from L to L + W − 1, over the frame row.
    for (int x = 1; x <= 100; ++x) {
        ASSERT_EQ(image.pixel(x, 50), kRed) << x;
    }
    EXPECT_EQ(image.pixel(0, 50), kBlack);
    EXPECT_EQ(image.pixel(0, 0), kBlack);

    gauge.SetProgress(50); // straight up: column 50 from row 49 to row 1
    image = gauge.Render();
    for (int y = 1; y <= 49; ++y) {
        ASSERT_EQ(image.pixel(50, y), kRed) << y;
    }
    EXPECT_EQ(image.pixel(48, 25), kWhite);
    EXPECT_EQ(image.pixel(52, 25), kWhite);

    gauge.SetProgress(100); // lying to the right along row 49
    image = gauge.Render();
    EXPECT_EQ(image.pixel(75, 49), kRed);
    EXPECT_EQ(image.pixel(50, 25), kWhite);

    gauge.SetProgress(25); // towards (15, 14): through (32, 31)
    image = gauge.Render();
    EXPECT_EQ(image.pixel(32, 31), kRed);
    EXPECT_EQ(image.pixel(68, 31), kWhite);
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

class GaugeOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(620, 100);
        gauge = new TGauge(window.get());
        MakeMainWindowGauge(*gauge);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
        gauge->installEventFilter(&counter);
        counter.paints = 0;
    }
    std::unique_ptr<QWidget> window;
    TGauge* gauge = nullptr;
    PaintCounter counter;
};

TEST_F(GaugeOnScreen, ProgressRepaintsAtOnceOnlyOnAWholePercentageChange) {
    gauge->SetMaxValue(1000);
    EXPECT_EQ(counter.paints, 1) << "MaxValue repaints although the percentage stays 0";
    counter.paints = 0;
    for (int v = 0; v < 1000; ++v) {
        const int before = counter.paints;
        gauge->SetProgress(v);
        // Painted before the write returns, with no event loop in between.
        EXPECT_EQ(counter.paints - before, v % 10 == 0 && v > 0 ? 1 : 0) << v;
    }
    EXPECT_EQ(counter.paints, 99);
    gauge->SetProgress(2000);
    EXPECT_EQ(gauge->Progress(), 1000);
    EXPECT_EQ(counter.paints, 100);
    for (int i = 0; i < 10; ++i) {
        gauge->SetProgress(5000); // clamps to the held value: nothing
    }
    gauge->SetProgress(-7);
    EXPECT_EQ(gauge->Progress(), 0);
    EXPECT_EQ(counter.paints, 101);
    gauge->SetProgress(0);
    gauge->SetMaxValue(1000);
    gauge->SetMinValue(0);
    gauge->SetKind(gkHorizontalBar);
    gauge->SetForeColor(clRed);
    EXPECT_EQ(counter.paints, 101) << "writes of held values repaint nothing";
}

TEST_F(GaugeOnScreen, PropertyWritesRepaintNowAndTheScreenShowsTheRender) {
    gauge->SetProgress(25);
    EXPECT_EQ(counter.paints, 1);
    gauge->SetKind(gkVerticalBar);
    gauge->SetShowText(false);
    gauge->SetBorderStyle(bsNone);
    gauge->SetForeColor(clLime);
    gauge->SetBackColor(clNavy);
    EXPECT_EQ(counter.paints, 6);
    gauge->SetKind(gkHorizontalBar);
    const QImage onScreen = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(onScreen, gauge->Render());
}

TEST_F(GaugeOnScreen, HiddenGaugeDrawsNothing) {
    gauge->hide();
    gauge->SetProgress(50);
    gauge->SetForeColor(clLime);
    EXPECT_EQ(counter.paints, 0);
    EXPECT_EQ(gauge->Progress(), 50);
}

TEST_F(GaugeOnScreen, PaintErrorFreesTheImagesAndReachesTheErrorBox) {
    testsupport::ErrorBoxes::Clear();
    const int live = TBltBitmap::LiveCount();
    // A new size needs a new image; making it fails, and nothing stays allocated for it.
    gauge->resize(300, 44);
    TBltBitmap::FailAllocationsAfter(0);
    EXPECT_THROW(gauge->Render(), Exception);
    EXPECT_EQ(TBltBitmap::LiveCount(), live - 1) << "the old size's image is freed as well";
    TBltBitmap::FailAllocationsAfter(0);
    gauge->SetProgress(50);
    TBltBitmap::FailAllocationsAfter(-1);
    EXPECT_EQ(TBltBitmap::LiveCount(), live - 1);
    ASSERT_EQ(testsupport::ErrorBoxes::Texts().size(), 1);
    EXPECT_EQ(testsupport::ErrorBoxes::Texts().front(), QStringLiteral("Out of system resources."));
    EXPECT_EQ(gauge->Progress(), 50);
    // The next paint makes the image again and shows the current state.
    const QImage picture = gauge->Render();
    EXPECT_EQ(TBltBitmap::LiveCount(), live);
    EXPECT_EQ(picture.size(), QSize(300, 44));
    EXPECT_EQ(picture.pixel(2, 2), kRed);
    EXPECT_EQ(picture.pixel(297, 2), kBlack);
}

// The picture by the gauge's steps, one image per step: the shape alone (the gauge without its
// text), then the text drawn white on black in an image of its own, combined by exclusive-or.
QImage ComposedByTheSteps(TGauge& gauge) {
    const bool showText = gauge.ShowText();
    gauge.SetShowText(false);
    QImage picture = gauge.Render().copy();
    gauge.SetShowText(showText);
    if (!showText) {
        return picture;
    }
    QImage text(picture.size(), QImage::Format_RGB32);
    text.fill(Qt::black);
    QFont font = gauge.font();
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font, &text);
    const QRect box = TextBox(gauge);
    const int inset = gauge.BorderStyle() == bsSingle ? 1 : 0;
    {
        QPainter painter(&text);
        painter.setFont(font);
        painter.setClipRect(
            QRect(inset, inset, text.width() - 2 * inset, text.height() - 2 * inset));
        painter.setPen(Qt::white);
        painter.drawText(box.left(), box.top() + metrics.ascent(),
                         QStringLiteral("%1%").arg(gauge.PercentComplete()));
    }
    for (int y = 0; y < picture.height(); ++y) {
        auto* target = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const auto* source = reinterpret_cast<const QRgb*>(text.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            target[x] = 0xFF000000u | ((target[x] ^ source[x]) & 0x00FFFFFFu);
        }
    }
    return picture;
}

TEST(GaugePixels, TextExclusiveOrMatchesTheStepByStepCompositionAtEveryPercentage) {
    TGauge bar;
    MakeMainWindowGauge(bar);
    TGauge pie;
    pie.resize(120, 90);
    pie.SetKind(gkPie);
    pie.SetForeColor(clRed);
    pie.SetBackColor(clWhite);
    pie.SetColor(clBlue);
    pie.setFont(BigFont());
    TGauge narrow; // the text is wider than the gauge: clipped, and X is negative
    narrow.resize(30, 44);
    narrow.SetForeColor(clLime);
    narrow.SetBackColor(clNavy);
    narrow.setFont(BigFont());
    for (int percent = 0; percent <= 100; ++percent) {
        for (TGauge* gauge : {&bar, &pie, &narrow}) {
            gauge->SetProgress(percent);
            const QImage expected = ComposedByTheSteps(*gauge);
            ASSERT_EQ(gauge->Render(), expected)
                << percent << "% on a " << gauge->width() << " x " << gauge->height() << " gauge";
        }
    }
}

TEST(GaugePicture, IsComposedOnlyWhenWhatItShowsChanges) {
    TGauge gauge;
    MakeMainWindowGauge(gauge);
    gauge.SetMaxValue(1000);
    const int live = TBltBitmap::LiveCount();
    const qint64 first = gauge.Render().cacheKey();
    EXPECT_EQ(TBltBitmap::LiveCount(), live + 1) << "one kept image";
    EXPECT_EQ(gauge.Render().cacheKey(), first);
    gauge.SetProgress(9); // still 0 %
    EXPECT_EQ(gauge.Render().cacheKey(), first);
    gauge.SetMaxValue(900); // 1 %: a new picture in the same image
    const QImage onePercent = gauge.Render();
    EXPECT_NE(onePercent.cacheKey(), first);
    EXPECT_EQ(TBltBitmap::LiveCount(), live + 1);
    // A picture handed out earlier keeps what it showed when the gauge composes a new one.
    const QImage kept = onePercent.copy();
    gauge.SetProgress(900);
    const QImage full = gauge.Render();
    EXPECT_EQ(onePercent, kept);
    EXPECT_NE(full, kept);
    gauge.SetForeColor(clLime);
    EXPECT_EQ(gauge.Render().pixel(2, 2), 0xFF00FF00);
    QFont font = gauge.font();
    font.setPixelSize(12);
    gauge.setFont(font);
    EXPECT_EQ(gauge.Render(), ComposedByTheSteps(gauge)) << "a new font composes again";
    gauge.resize(200, 30);
    EXPECT_EQ(gauge.Render().size(), QSize(200, 30));
    EXPECT_EQ(TBltBitmap::LiveCount(), live + 1) << "the old size's image is gone";
}

TEST_F(GaugeOnScreen, RepaintOfAnUnchangedPictureCopiesIt) {
    const qint64 before = gauge->Render().cacheKey();
    gauge->SetMaxValue(1000); // repaints now, the percentage stays 0
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(gauge->Render().cacheKey(), before);
    gauge->update();
    QCoreApplication::processEvents();
    EXPECT_EQ(gauge->Render().cacheKey(), before);
    const QImage onScreen = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(onScreen, gauge->Render());
}

TEST(GaugeBounds, ChecksAndMessages) {
    TGauge gauge;
    gauge.SetProgress(50);
    try {
        gauge.SetMinValue(101);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Value must be between -2147483647 and 99");
    }
    try {
        gauge.SetMaxValue(-1);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Value must be between 1 and 2147483647");
    }
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 50);

    // Pulling Progress along; a bound equal to the other is accepted.
    gauge.SetMaxValue(30);
    EXPECT_EQ(gauge.Progress(), 30);
    gauge.SetMinValue(30);
    EXPECT_EQ(gauge.PercentComplete(), 0);
    gauge.SetProgress(1000);
    EXPECT_EQ(gauge.Progress(), 30);
    gauge.SetMinValue(-10);
    gauge.SetMaxValue(-10);
    EXPECT_EQ(gauge.Progress(), -10);

    // Messages near the ends of the range are exact, never wrapped.
    TGauge top;
    top.SetMaxValue(std::numeric_limits<std::int32_t>::max());
    top.SetMinValue(std::numeric_limits<std::int32_t>::max());
    try {
        top.SetMaxValue(0);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Value must be between 2147483648 and 2147483647");
    }
}

TEST(GaugeBounds, OffWhileLoading) {
    TGauge gauge;
    gauge.BeginLoading();
    EXPECT_TRUE(gauge.Loading());
    gauge.SetMinValue(500); // above MaxValue 100
    gauge.SetMaxValue(-5);  // below MinValue 500
    gauge.EndLoading();
    EXPECT_EQ(gauge.MinValue(), 500);
    EXPECT_EQ(gauge.MaxValue(), -5);
    // Nothing repairs the broken invariant, and nothing crashes on it.
    EXPECT_EQ(gauge.Progress(), -5);
    gauge.resize(40, 20);
    EXPECT_EQ(gauge.Render().size(), QSize(40, 20));
    EXPECT_THROW(gauge.SetMinValue(600), EInvalidOperation);
}

} // namespace

// Zoom, undo, panning and the wheel through simulated mouse input on the window's chart.
#include "tests/widgets/ChartTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace charttest;

namespace {

struct TRange {
    double minimum;
    double maximum;
};

void ExpectRange(const TChartAxis& axis, TRange expected, const char* what) {
    EXPECT_NEAR(axis.Minimum(), expected.minimum, 1e-9) << what;
    EXPECT_NEAR(axis.Maximum(), expected.maximum, 1e-9) << what;
}

// Values at pixels of the window's plot (21, 8, 601, 134) with both axes 0 ... 20.
double BottomValue(int x) {
    return (x - 21) * 20.0 / 580.0;
}
double LeftValue(int y) {
    return 20.0 - (y - 8) * 20.0 / 126.0;
}

} // namespace

class ChartZoom : public ::testing::Test {
protected:
    void SetUp() override {
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        window.Grab(); // lays the plot out
    }

    void Drag(Qt::MouseButton button, QPoint from, QPoint to) {
        QTest::mousePress(&chart, button, Qt::NoModifier, from);
        QTest::mouseMove(&chart, QPoint((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        QTest::mouseMove(&chart, to);
        QTest::mouseRelease(&chart, button, Qt::NoModifier, to);
        window.Grab();
    }

    void Wheel(int delta) {
        const QPointF at(300, 70);
        QWheelEvent event(at, chart.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&chart, &event);
    }

    TWindowChart window;
    TChart& chart = *window.chart;
    TChartAxis& bottom = chart.BottomAxis();
    TChartAxis& left = chart.LeftAxis();
};

TEST_F(ChartZoom, DragRightAndDownZoomsIn) {
    Drag(Qt::LeftButton, {100, 30}, {300, 100});
    ExpectRange(bottom, {BottomValue(100), BottomValue(300)}, "bottom");
    ExpectRange(left, {LeftValue(100), LeftValue(30)}, "left");
    EXPECT_FALSE(bottom.Automatic());
    EXPECT_FALSE(TChartProbe::ScalesInForce(chart));
    EXPECT_FALSE(TChartProbe::Zooming(chart));
    EXPECT_TRUE(TChartProbe::RubberBands(chart).empty());
}

TEST_F(ChartZoom, DragInAnyOtherDirectionUndoes) {
    const QPoint others[] = {{40, 10}, {300, 10}, {40, 120}};
    for (const QPoint& end : others) {
        Drag(Qt::LeftButton, {100, 30}, {300, 100});
        Drag(Qt::LeftButton, {100, 30}, {300, 100}); // a second zoom, into the first
        Drag(Qt::LeftButton, {200, 60}, end);
        ExpectRange(bottom, {0, 20}, "bottom");
        ExpectRange(left, {0, 20}, "left");
        EXPECT_FALSE(bottom.Automatic());
        EXPECT_FALSE(left.AutomaticMinimum());
        EXPECT_TRUE(TChartProbe::ScalesInForce(chart));
    }
    // Undo without a zoom or pan before it changes nothing.
    Drag(Qt::LeftButton, {300, 100}, {100, 30});
    ExpectRange(bottom, {0, 20}, "bottom");
}

TEST_F(ChartZoom, DragsOfSixteenPixelsOrLessDoNothing) {
    Drag(Qt::LeftButton, {100, 30}, {116, 100});
    Drag(Qt::LeftButton, {100, 30}, {300, 46});
    ExpectRange(bottom, {0, 20}, "bottom");
    ExpectRange(left, {0, 20}, "left");
    EXPECT_TRUE(TChartProbe::ScalesInForce(chart));
    Drag(Qt::LeftButton, {100, 30}, {117, 47});
    ExpectRange(bottom, {BottomValue(100), BottomValue(117)}, "bottom");
}

TEST_F(ChartZoom, RubberBandIsInvertedOnScreenAndRestored) {
    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, {100, 30});
    QTest::mouseMove(&chart, {200, 80});
    ASSERT_TRUE(TChartProbe::Zooming(chart));
    QImage image = window.Grab();
    // Not-xor with black inverts: the outline shows white on the black fill.
    for (const QPoint& p : {QPoint(150, 30), QPoint(150, 80), QPoint(100, 50), QPoint(200, 50),
                            QPoint(100, 30), QPoint(200, 80)}) {
        EXPECT_EQ(image.pixel(p), 0xFFFFFFFFu) << p.x() << "," << p.y();
    }
    EXPECT_EQ(image.pixel(150, 50), kBlack);
    EXPECT_EQ(image.pixel(150, 31), kBlack);
    // A gray grid dot under the band is inverted too.
    EXPECT_EQ(image.pixel(108, 30), 0xFF7F7F7Fu);
    // A redraw of the chart during the drag keeps the band.
    window.series->InsertPoint(1.0, 1.0, QString(), clLime);
    image = window.Grab();
    EXPECT_EQ(image.pixel(150, 30), 0xFFFFFFFFu);
    // Moving takes the old outline back and draws the new one.
    QTest::mouseMove(&chart, {250, 90});
    image = window.Grab();
    EXPECT_EQ(image.pixel(150, 80), kBlack);
    EXPECT_EQ(image.pixel(220, 90), 0xFFFFFFFFu);
    // Released near the start: no zoom, the band is taken back.
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, {101, 31});
    ExpectRange(bottom, {0, 20}, "no zoom");
    EXPECT_TRUE(TChartProbe::RubberBands(chart).empty());
    image = window.Grab();
    EXPECT_EQ(image.pixel(220, 90), kBlack);
    EXPECT_EQ(image.pixel(108, 30), kGray);
}

TEST_F(ChartZoom, WhiteChartDrawsTheBandInBlack) {
    chart.SetColor(clWhite);
    window.Grab();
    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, {100, 30});
    QTest::mouseMove(&chart, {200, 80});
    const QImage image = window.Grab();
    // not (black xor white) = black
    EXPECT_EQ(image.pixel(150, 30), kBlack);
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, {200, 80});
}

TEST_F(ChartZoom, PanningFollowsThePointer) {
    QTest::mousePress(&chart, Qt::RightButton, Qt::NoModifier, {200, 70});
    ASSERT_TRUE(TChartProbe::Panning(chart));
    QTest::mouseMove(&chart, {229, 70});
    ExpectRange(bottom, {-1, 19}, "bottom right by 29 pixels");
    ExpectRange(left, {0, 20}, "left unchanged");
    EXPECT_FALSE(TChartProbe::ScalesInForce(chart));
    // The value under the pointer stays the one that was under the press.
    EXPECT_NEAR(bottom.CalcPosPoint(229), BottomValue(200), 1e-9);
    QTest::mouseMove(&chart, {229, 133});
    ExpectRange(left, {10, 30}, "left down by 63 pixels");
    QTest::mouseMove(&chart, {200, 70});
    ExpectRange(bottom, {0, 20}, "bottom back");
    ExpectRange(left, {0, 20}, "left back");
    // Leaving the plot ends the drag; later moves do nothing.
    QTest::mouseMove(&chart, {200, 140});
    EXPECT_FALSE(TChartProbe::Panning(chart));
    QTest::mouseMove(&chart, {250, 70});
    ExpectRange(bottom, {0, 20}, "after the end");
    QTest::mouseRelease(&chart, Qt::RightButton, Qt::NoModifier, {250, 70});

    // A pan, then an undo drag restores the scales in force before the pan.
    Drag(Qt::RightButton, {200, 70}, {300, 100});
    EXPECT_LT(bottom.Minimum(), 0.0);
    Drag(Qt::LeftButton, {300, 100}, {100, 30});
    ExpectRange(bottom, {0, 20}, "undone");
    ExpectRange(left, {0, 20}, "undone");
}

TEST_F(ChartZoom, ReleaseAndLeavingEndPanning) {
    QTest::mousePress(&chart, Qt::RightButton, Qt::NoModifier, {200, 70});
    QTest::mouseRelease(&chart, Qt::RightButton, Qt::NoModifier, {200, 70});
    EXPECT_FALSE(TChartProbe::Panning(chart));
    QTest::mousePress(&chart, Qt::RightButton, Qt::NoModifier, {200, 70});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&chart, &leave);
    EXPECT_FALSE(TChartProbe::Panning(chart));
    QTest::mouseMove(&chart, {250, 70});
    ExpectRange(bottom, {0, 20}, "no pan after leaving");
    QTest::mouseRelease(&chart, Qt::RightButton, Qt::NoModifier, {250, 70});
}

TEST_F(ChartZoom, PanningModesAndAllowZoom) {
    chart.SetAllowPanning(pmHorizontal);
    Drag(Qt::RightButton, {200, 70}, {229, 133});
    ExpectRange(bottom, {-1, 19}, "horizontal only");
    ExpectRange(left, {0, 20}, "horizontal only");
    chart.SetAllowPanning(pmVertical);
    Drag(Qt::RightButton, {229, 133}, {200, 70});
    ExpectRange(bottom, {-1, 19}, "vertical only");
    ExpectRange(left, {-10, 10}, "vertical only");
    chart.SetAllowPanning(pmNone);
    QTest::mousePress(&chart, Qt::RightButton, Qt::NoModifier, {200, 70});
    EXPECT_FALSE(TChartProbe::Panning(chart));
    QTest::mouseRelease(&chart, Qt::RightButton, Qt::NoModifier, {200, 70});
    chart.SetAllowZoom(false);
    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, {100, 30});
    EXPECT_FALSE(TChartProbe::Zooming(chart));
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, {300, 100});
    ExpectRange(bottom, {-1, 19}, "no zoom");
}

TEST_F(ChartZoom, PressMustHitPlotAxisOrSeries) {
    struct Case {
        QPoint point;
        bool qualifies;
    };
    window.series->InsertPoint(0.0, 21.0, QString(), clLime); // above the plot: line leaves it
    window.series->InsertPoint(20.0, 21.0, QString(), clLime);
    window.Grab();
    for (const Case& c : {Case{{300, 70}, true},    // plot rectangle
                          Case{{21, 8}, true},      // its corner
                          Case{{300, 145}, true},   // bottom axis labels
                          Case{{10, 70}, true},     // left axis labels
                          Case{{300, 3}, false},    // top margin, on the clipped line
                          Case{{300, 1}, false}}) { // top margin
        QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, c.point);
        EXPECT_EQ(TChartProbe::Zooming(chart), c.qualifies) << c.point.x() << "," << c.point.y();
        QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, c.point);
    }
    // A press on the line where it runs outside the plot rectangle (clipped there) qualifies.
    chart.SetClipPoints(false);
    window.series->ClearPoints();
    window.series->InsertPoint(0.0, 20.5, QString(), clLime);
    window.series->InsertPoint(20.0, 20.5, QString(), clLime);
    window.Grab();
    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, {300, 5});
    EXPECT_TRUE(TChartProbe::Zooming(chart));
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, {300, 5});
    // Without an active series the plot rectangle does not qualify.
    window.series->SetActive(false);
    window.Grab();
    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, {300, 70});
    EXPECT_FALSE(TChartProbe::Zooming(chart));
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, {300, 70});
}

TEST_F(ChartZoom, WheelShiftsTheVerticalRangeByThreePercent) {
    Wheel(-120);
    ExpectRange(left, {0.6, 20.6}, "one step down");
    ExpectRange(bottom, {0, 20}, "bottom untouched");
    EXPECT_TRUE(TChartProbe::Dirty(chart));
    Wheel(120);
    ExpectRange(left, {0, 20}, "one step up");
    Wheel(60); // half a step: nothing yet
    ExpectRange(left, {0, 20}, "half a step");
    Wheel(60);
    ExpectRange(left, {-0.6, 19.4}, "two halves");
    Wheel(-240);
    ExpectRange(left, {0.6, 20.6}, "two steps down");
    EXPECT_FALSE(left.Automatic());
    EXPECT_FALSE(left.AutomaticMaximum());
}

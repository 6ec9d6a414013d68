#include "widgets/CustomPanel.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

class FramePanel : public TCustomPanel {
public:
    using TCustomPanel::DrawPanelFrame;
};

// Runs `draw` on a green image of the given size and returns the picture as rows of 'W'
// (button highlight), 'S' (button shadow), 'R' (red) and '.' (untouched).
std::string Picture(int width, int height, const std::function<void(QPainter&)>& draw) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0, 255, 0));
    {
        QPainter painter(&image);
        draw(painter);
    }
    std::string picture;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            char c = '.';
            if (pixel == ColorToQColor(clBtnHighlight)) {
                c = 'W';
            } else if (pixel == ColorToQColor(clBtnShadow)) {
                c = 'S';
            } else if (pixel == ColorToQColor(clRed)) {
                c = 'R';
            }
            picture += c;
        }
        picture += '\n';
    }
    return picture;
}

} // namespace

TEST(PanelFrame, OuterBevelBorderBandAndInnerBevelNestInsideEachOther) {
    FramePanel panel;
    panel.SetBevelOuter(bvRaised);
    panel.SetBorderWidth(1);
    panel.SetColor(clRed);
    panel.SetBevelInner(bvLowered);
    const std::string picture =
        Picture(8, 8, [&](QPainter& painter) { panel.DrawPanelFrame(painter, QRect(0, 0, 8, 8)); });
    EXPECT_EQ(picture, "WWWWWWWS\n"
                       "WRRRRRRS\n"
                       "WRSSSWRS\n"
                       "WRS..WRS\n"
                       "WRS..WRS\n"
                       "WRWWWWRS\n"
                       "WRRRRRRS\n"
                       "SSSSSSSS\n");
}

TEST(PanelFrame, WideBevelStopsWhenNothingIsLeftInside) {
    QRect inside;
    const std::string picture = Picture(4, 4, [&](QPainter& painter) {
        inside = DrawBevel(painter, QRect(0, 0, 4, 4), bvRaised, 3);
    });
    EXPECT_EQ(picture, "WWWS\n"
                       "WWSS\n"
                       "WSSS\n"
                       "SSSS\n");
    EXPECT_TRUE(inside.isEmpty());

    const QRect bounds(1, 1, 5, 5);
    const std::string untouched = Picture(6, 6, [](QPainter&) {});
    EXPECT_EQ(Picture(6, 6,
                      [&](QPainter& painter) {
                          EXPECT_EQ(DrawBevel(painter, bounds, bvNone, 2), bounds);
                          EXPECT_EQ(DrawBevel(painter, bounds, bvLowered, 0), bounds);
                      }),
              untouched);
}

#include "platform/ui/Graphics.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr QRgb kBackground = 0xFF00FF00;

// Draws one edge in white (top-left) and black (bottom-right) on a green 8 × 8 image and
// returns the picture as rows of 'W', 'B' and '.'.
std::string EdgePicture(const QRect& rect) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(kBackground);
    {
        QPainter painter(&image);
        DrawEdge(painter, rect, clWhite, clBlack);
    }
    std::string picture;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            picture += pixel == 0xFFFFFFFF ? 'W' : pixel == 0xFF000000 ? 'B' : '.';
        }
        picture += '\n';
    }
    return picture;
}

} // namespace

TEST(Edge, BottomRightOwnsTheFarCornersAndTheInsideIsLeftAlone) {
    EXPECT_EQ(EdgePicture(QRect(1, 2, 5, 4)), "........\n"
                                              "........\n"
                                              ".WWWWB..\n"
                                              ".W...B..\n"
                                              ".W...B..\n"
                                              ".BBBBB..\n"
                                              "........\n"
                                              "........\n");
}

TEST(Edge, OnePixelWideOrHighIsAllBottomRightAndEmptyDrawsNothing) {
    EXPECT_EQ(EdgePicture(QRect(2, 1, 1, 3)), "........\n"
                                              "..B.....\n"
                                              "..B.....\n"
                                              "..B.....\n"
                                              "........\n"
                                              "........\n"
                                              "........\n"
                                              "........\n");
    EXPECT_EQ(EdgePicture(QRect(1, 6, 3, 1)), "........\n"
                                              "........\n"
                                              "........\n"
                                              "........\n"
                                              "........\n"
                                              "........\n"
                                              ".BBB....\n"
                                              "........\n");
    const std::string blank(8 * 9, '.');
    std::string empty = blank;
    for (int row = 0; row < 8; ++row) {
        empty[row * 9 + 8] = '\n';
    }
    EXPECT_EQ(EdgePicture(QRect(2, 2, 0, 4)), empty);
    EXPECT_EQ(EdgePicture(QRect(2, 2, 3, 0)), empty);
}

TEST(Edge, ThreeDimensionalSystemColoursAreTheClassicTheme) {
    EXPECT_EQ(ColorToQColor(cl3DDkShadow), QColor(0x69, 0x69, 0x69));
    EXPECT_EQ(ColorToQColor(cl3DLight), QColor(0xE3, 0xE3, 0xE3));
}

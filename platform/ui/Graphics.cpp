#include "platform/ui/Graphics.h"

#include <QPainter>
#include <QRect>
#include <array>

namespace {

// System colours by index, as the classic desktop theme has them (0x00BBGGRR).
constexpr std::array<TColor, 31> kSystemColors = {
    0xC8D0D4, // 0 scroll bar
    0xA56E3A, // 1 desktop
    0xD1B499, // 2 active caption
    0xDBCDBF, // 3 inactive caption
    0xF0F0F0, // 4 menu
    0xFFFFFF, // 5 window
    0x646464, // 6 window frame
    0x000000, // 7 menu text
    0x000000, // 8 window text
    0x000000, // 9 caption text
    0xB4B4B4, // 10 active border
    0xFCF7F4, // 11 inactive border
    0xABABAB, // 12 application workspace
    0xFF9933, // 13 highlight
    0xFFFFFF, // 14 highlight text
    0xF0F0F0, // 15 button face
    0xA0A0A0, // 16 button shadow
    0x6D6D6D, // 17 grey text
    0x000000, // 18 button text
    0x544E43, // 19 inactive caption text
    0xFFFFFF, // 20 button highlight
    0x696969, // 21 3D dark shadow
    0xE3E3E3, // 22 3D light
    0x000000, // 23 info text
    0xE1FFFF, // 24 info background
    0xB5B5B5, // 25
    0xCC6600, // 26 hot light
    0xEAD1B9, // 27 gradient active caption
    0xF2E4D7, // 28 gradient inactive caption
    0xFF9933, // 29 menu highlight
    0xF0F0F0, // 30 menu bar
};

} // namespace

QColor ColorToQColor(TColor color) {
    if ((color & 0xFF000000u) == clSystemColor) {
        const auto index = color & 0xFFu;
        color = index < kSystemColors.size() ? kSystemColors[index] : clBlack;
    }
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void DrawEdge(QPainter& painter, const QRect& rect, TColor topLeft, TColor bottomRight) {
    if (rect.isEmpty()) {
        return;
    }
    const QColor first = ColorToQColor(topLeft);
    const QColor second = ColorToQColor(bottomRight);
    painter.fillRect(rect.left(), rect.top(), rect.width(), 1, first);
    painter.fillRect(rect.left(), rect.top(), 1, rect.height(), first);
    painter.fillRect(rect.left(), rect.bottom(), rect.width(), 1, second);
    painter.fillRect(rect.right(), rect.top(), 1, rect.height(), second);
}

#include "widgets/SpinGlyphs.h"

#include <QList>
#include <array>

namespace {

// The sixteen colours of a 4-bit bitmap; the glyphs use black (0) and olive (3).
constexpr std::array<QRgb, 16> kGlyphPalette = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFF808080,
    0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};
constexpr int kBlackIndex = 0;
constexpr int kOliveIndex = 3;

QImage TriangleGlyph(bool apexUp) {
    QImage glyph(9, 6, QImage::Format_Indexed8);
    glyph.setColorTable(QList<QRgb>(kGlyphPalette.begin(), kGlyphPalette.end()));
    glyph.fill(kOliveIndex);
    // Rows 1 … 4 hold 1, 3, 5 and 7 pixels around the middle column 4.
    for (int step = 0; step < 4; ++step) {
        const int row = apexUp ? 1 + step : 4 - step;
        for (int x = 4 - step; x <= 4 + step; ++x) {
            glyph.setPixel(x, row, kBlackIndex);
        }
    }
    return glyph;
}

} // namespace

QImage LoadSpinGlyph(QStringView name) {
    if (name.compare(u"SpinUp", Qt::CaseInsensitive) == 0) {
        return TriangleGlyph(true);
    }
    if (name.compare(u"SpinDown", Qt::CaseInsensitive) == 0) {
        return TriangleGlyph(false);
    }
    return {};
}

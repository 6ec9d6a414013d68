#pragma once

#include <QImage>
#include <QStringView>

// The built-in glyph bitmaps "SpinUp" and "SpinDown" (names matched without regard to case):
// 9 × 6, 16 colours, a black triangle on olive. A null image for any other name.
QImage LoadSpinGlyph(QStringView name);

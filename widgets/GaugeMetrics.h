#pragma once

// The gauge's numbers, apart from any painting: percentage, fill length, text position and the
// end points of the pie's first radial and of the needle.

#include <QPoint>
#include <cstdint>
#include <vector>

namespace gauge {

// 100 × (progress − min) / (max − min) truncated toward zero; 0 when the bounds are equal.
// Worked in 64 bits, so any 32-bit bounds are safe.
int PercentComplete(std::int32_t minValue, std::int32_t maxValue, std::int32_t progress);

// ⌊span × percent / 100⌋ in exact integer arithmetic.
std::int64_t FillLength(std::int64_t span, int percent);

// Top-left corner of a tw × th text centred in the paint rectangle (left, top, right, bottom;
// right and bottom excluded): ((right − left + 1 − tw) div 2, (bottom − top + 1 − th) div 2),
// absolute positions, division truncating toward zero.
QPoint TextOrigin(int left, int top, int right, int bottom, int textWidth, int textHeight);

// The point the pie's wedge starts its radial through, for percent p > 0 and half sizes
// mx = W div 2, my = H div 2: (round(mx × (1 − cos a)), round(my × (1 − sin a))) with
// a = π × (p / 50 + 0.5), rounding halves to even.
QPoint PieStartPoint(int mx, int my, int percent);

// The needle's free end for percent p > 0, centre column cx and base row y = B − 1:
// (round((1 − cos a) × cx), round((1 − sin a) × y)) with a = π × p / 100.
QPoint NeedleEnd(int cx, int baseRow, int percent);

// The pixels of a one-pixel line from one point towards another, the end point excluded.
std::vector<QPoint> LinePixels(QPoint from, QPoint to);

} // namespace gauge

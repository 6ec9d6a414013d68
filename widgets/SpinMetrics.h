#pragma once

// The spin entry's numbers, apart from any widget: reading its text as a number, clamping,
// stepping, the typed-character rule and the layout of the entry and of its button pair.

#include <QRect>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace spin {

// The text as a whole number: leading spaces, at most one sign, then decimal digits or
// hexadecimal digits after "$", "x", "X", "0x" or "0X", and nothing after them. Decimal input
// must lie in the 32-bit signed range; hexadecimal input may be up to FFFFFFFF and is a 32-bit
// pattern ("$FFFFFFFF" is −1), which a minus sign negates. Anything else gives no value.
std::optional<std::int32_t> ParseNumber(QStringView text);

// If the bounds are equal, the value unchanged; otherwise the value limited to them.
std::int32_t ClampValue(std::int32_t value, std::int32_t minValue, std::int32_t maxValue);

// value + delta, saturated at the ends of the 32-bit signed range.
std::int32_t SaturatingAdd(std::int32_t value, std::int64_t delta);

// Whether a typed character reaches the text: digits, "+", "-", the decimal separator and
// control characters other than carriage return; with the editor disabled only control
// characters other than backspace and carriage return.
bool AcceptsTypedChar(char16_t c, char16_t decimalSeparator, bool editorEnabled);

// Where the entry puts its button pair and its text, for its outer size.
struct EditLayout {
    // When the entry is lower than this, it only takes this height (and is laid out again).
    int minimumHeight = 0;
    // Both within the client area; the text rectangle's right and bottom edges are excluded.
    QRect buttons;
    int textRight = 0;
    int textBottom = 0;
};

constexpr int kButtonPairWidth = 15;
// The thin border of the system, one pixel.
constexpr int kBorder = 1;

// fontLineHeight is the entry's font line height, systemLineHeight the system font's;
// frame is the width of the entry's edge on each side (2 in the 3-D look, 1 flat).
EditLayout LayoutEdit(int width, int height, bool ctl3D, int frame, int fontLineHeight,
                      int systemLineHeight);

// The height the entry takes when its window is made with AutoSize on.
int AutoSizeHeight(int fontLineHeight, bool ctl3D);

struct PairLayout {
    int width = 0; // raised to at least 15
    QRect up;
    QRect down;
};
PairLayout LayoutPair(int width, int height);

} // namespace spin

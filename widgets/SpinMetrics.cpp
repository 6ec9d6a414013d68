#include "widgets/SpinMetrics.h"

#include <algorithm>
#include <limits>

namespace spin {

namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<std::int32_t> ParseNumber(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == n) {
        return std::nullopt;
    }
    // Magnitudes are gathered in 64 bits and checked after every digit, so no length of
    // leading zeros or digits can overflow.
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 2147483648u : 2147483647u);
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        const int digit = hex ? HexDigit(c) : (c >= u'0' && c <= u'9' ? c - u'0' : -1);
        if (digit < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    // Two's complement on 32 bits: a hexadecimal pattern above 7FFFFFFF is negative, and
    // negating the lowest value leaves it as it is.
    std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
    if (negative) {
        pattern = 0u - pattern;
    }
    return static_cast<std::int32_t>(pattern);
}

std::int32_t ClampValue(std::int32_t value, std::int32_t minValue, std::int32_t maxValue) {
    if (minValue == maxValue) {
        return value;
    }
    if (value < minValue) {
        return minValue;
    }
    if (value > maxValue) {
        return maxValue;
    }
    return value;
}

std::int32_t SaturatingAdd(std::int32_t value, std::int64_t delta) {
    const std::int64_t sum = value + delta;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool AcceptsTypedChar(char16_t c, char16_t decimalSeparator, bool editorEnabled) {
    bool accepted = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == decimalSeparator ||
                    (c < 32 && c != 13);
    if (accepted && !editorEnabled && (c >= 32 || c == 8)) {
        accepted = false;
    }
    return accepted;
}

EditLayout LayoutEdit(int width, int height, bool ctl3D, int frame, int fontLineHeight,
                      int systemLineHeight) {
    EditLayout layout;
    layout.minimumHeight =
        fontLineHeight + std::min(systemLineHeight, fontLineHeight) / 4 + 4 * kBorder + 2;
    const int b = kButtonPairWidth;
    if (ctl3D) {
        layout.buttons = QRect(width - b - 5, 0, b, height - 5);
    } else {
        layout.buttons = QRect(width - b, 1, b, height - 3);
    }
    layout.textRight = width - 2 * frame - b - 2;
    layout.textBottom = height - 2 * frame + 1;
    return layout;
}

int AutoSizeHeight(int fontLineHeight, bool ctl3D) {
    return fontLineHeight + (ctl3D ? 8 : 6) * kBorder;
}

PairLayout LayoutPair(int width, int height) {
    PairLayout layout;
    layout.width = std::max(width, kButtonPairWidth);
    const int up = height / 2;
    layout.up = QRect(0, 0, layout.width, up);
    layout.down = QRect(0, up - 1, layout.width, height - up + 1);
    return layout;
}

} // namespace spin

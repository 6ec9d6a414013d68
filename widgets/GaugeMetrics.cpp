#include "widgets/GaugeMetrics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace gauge {

int PercentComplete(std::int32_t minValue, std::int32_t maxValue, std::int32_t progress) {
    const std::int64_t span = std::int64_t{maxValue} - minValue;
    if (span == 0) {
        return 0;
    }
    // C++ integer division truncates toward zero, as the percentage must.
    return static_cast<int>(std::int64_t{100} * (std::int64_t{progress} - minValue) / span);
}

std::int64_t FillLength(std::int64_t span, int percent) {
    const std::int64_t product = span * percent;
    // Floor, also for a negative product (a stored form may break the bounds' invariant).
    std::int64_t quotient = product / 100;
    if (product % 100 != 0 && product < 0) {
        --quotient;
    }
    return quotient;
}

QPoint TextOrigin(int left, int top, int right, int bottom, int textWidth, int textHeight) {
    return {(right - left + 1 - textWidth) / 2, (bottom - top + 1 - textHeight) / 2};
}

namespace {
int RoundEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}
} // namespace

QPoint PieStartPoint(int mx, int my, int percent) {
    const double a = std::numbers::pi * (percent / 50.0 + 0.5);
    return {RoundEven(mx * (1 - std::cos(a))), RoundEven(my * (1 - std::sin(a)))};
}

QPoint NeedleEnd(int cx, int baseRow, int percent) {
    const double a = std::numbers::pi * percent / 100.0;
    return {RoundEven((1 - std::cos(a)) * cx), RoundEven((1 - std::sin(a)) * baseRow)};
}

std::vector<QPoint> LinePixels(QPoint from, QPoint to) {
    std::vector<QPoint> pixels;
    const int dx = std::abs(to.x() - from.x());
    const int dy = std::abs(to.y() - from.y());
    const int sx = from.x() < to.x() ? 1 : -1;
    const int sy = from.y() < to.y() ? 1 : -1;
    int x = from.x();
    int y = from.y();
    int error = dx - dy;
    pixels.reserve(static_cast<std::size_t>(std::max(dx, dy)));
    while (x != to.x() || y != to.y()) {
        pixels.emplace_back(x, y);
        const int doubled = 2 * error;
        if (doubled > -dy) {
            error -= dy;
            x += sx;
        }
        if (doubled < dx) {
            error += dx;
            y += sy;
        }
    }
    return pixels;
}

} // namespace gauge

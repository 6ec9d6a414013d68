#include "widgets/ChartNumerics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace chart {

namespace {

constexpr double kIntLimit = 2147483647.0;

} // namespace

int Round(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double rounded = std::nearbyint(value);
    if (rounded >= kIntLimit) {
        return std::numeric_limits<int>::max();
    }
    if (rounded <= -kIntLimit - 1.0) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(rounded);
}

int PercentOf(int size, int percent) {
    const double exact = static_cast<double>(size) * percent / 100.0;
    const double rounded = std::round(exact); // halves away from zero
    return static_cast<int>(std::clamp(rounded, -kIntLimit, kIntLimit));
}

TPixelRect PlotRectFirstCut(int width, int height, int borderWidth, int marginLeft, int marginTop,
                            int marginRight, int marginBottom) {
    TPixelRect rect;
    rect.left = borderWidth + PercentOf(width, marginLeft);
    rect.top = borderWidth + PercentOf(height, marginTop);
    rect.right = width - borderWidth - PercentOf(width, marginRight);
    rect.bottom = height - borderWidth - PercentOf(height, marginBottom);
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    if (rect.right < rect.left) {
        rect.right = rect.left + 1;
    }
    if (rect.bottom < rect.top) {
        rect.bottom = rect.top + 1;
    }
    return rect;
}

int TAxisScale::ValueToPixel(double value) const {
    const double range = Range();
    if (range == 0.0) {
        return Centre();
    }
    const double offset = (value - minimum) * Length() / range;
    if (!(std::fabs(offset) < kIntLimit)) { // also catches NaN
        return Centre();
    }
    const int rounded = Round(offset);
    // Pixel arithmetic in 64 bits, saturated: the offset alone is already within int.
    const long long pixel = horizontal ? static_cast<long long>(startPixel) + rounded
                                       : static_cast<long long>(endPixel) - rounded;
    return static_cast<int>(std::clamp<long long>(pixel, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

double TAxisScale::PixelToValue(int pixel) const {
    const int length = Length();
    if (length < 1) {
        return 0.0;
    }
    const double offset = static_cast<double>(pixel - startPixel) * Range() / length;
    return horizontal ? minimum + offset : maximum - offset;
}

double NextNiceStep(double step) {
    if (!(step > 0.0) || !std::isfinite(step)) {
        return step; // no nice successor; callers stop on it
    }
    // Mantissa in [1, 10) and its power of ten. Repeated scaling leaves rounding dust (1e-12
    // becomes 0.99999...e-12), so the comparisons allow for a relative error of 1e-9.
    constexpr double kSlack = 1.0 - 1e-9;
    double scale = 1.0;
    while (step >= 10.0 * kSlack) {
        step /= 10.0;
        scale *= 10.0;
    }
    while (step < kSlack) {
        step *= 10.0;
        scale /= 10.0;
    }
    const double next = step < 2.0 * kSlack ? 2.0 : step < 5.0 * kSlack ? 5.0 : 10.0;
    return next * scale;
}

int MaxLabelCount(int length, int labelSize, int separationPercent) {
    if (labelSize == 0) {
        return 1;
    }
    int gap = 0;
    if (separationPercent > 0) {
        gap = Round(static_cast<double>(labelSize) * separationPercent / 100.0);
    }
    const int divisor = labelSize + gap;
    if (divisor == 0) {
        return 1;
    }
    return Round(static_cast<double>(length) / divisor);
}

double LabelStep(double range, int length, int labelSize, int separationPercent, double increment) {
    const int maxLabels = MaxLabelCount(length, labelSize, separationPercent);
    if (maxLabels < 1) {
        return kMinimumStep;
    }
    double step = increment > 0.0 ? increment : (std::fabs(range) >= 1.0 ? 1.0 : kMinimumStep);
    if (separationPercent > 0) {
        for (;;) {
            const double q = range / step;
            if (std::fabs(q) < kIntLimit && Round(q) <= maxLabels) {
                break;
            }
            const double next = NextNiceStep(step);
            if (!(next > step) || !std::isfinite(next)) {
                break; // an infinite or NaN range: no nice step makes it fit
            }
            step = next;
        }
    }
    return std::max(step, kMinimumStep);
}

std::vector<double> LabelValues(double minimum, double maximum, double step, bool roundFirstLabel) {
    std::vector<double> values;
    if (!(step > 0.0) || maximum < minimum) {
        return values;
    }
    if (!(std::fabs((maximum - minimum) / step) < kMaximumLabelSteps)) {
        return values;
    }
    double value = maximum;
    if (minimum != maximum && roundFirstLabel) {
        value = std::trunc(maximum / step) * step;
    }
    while (value > maximum) {
        const double lower = value - step;
        if (!(lower < value)) {
            return values;
        }
        value = lower;
    }
    const double limit = (minimum - kMinimumStep) / 1.000000000001;
    // Fewer than 10000 steps fit into the range; the bound only matters when the step is lost
    // in the values' precision, where subtracting it no longer moves the value.
    while (value >= limit && values.size() <= static_cast<std::size_t>(kMaximumLabelSteps)) {
        values.push_back(value);
        const double lower = value - step;
        if (!(lower < value)) {
            break;
        }
        value = lower;
    }
    return values;
}

double RoundedLabelValue(double value, double step, bool roundFirstLabel) {
    if (!roundFirstLabel || !(step > 0.0)) {
        return value;
    }
    return std::trunc(value / step) * step;
}

namespace {

struct TPattern {
    bool grouping = false;
    int minIntegerDigits = 0;
    int requiredDecimals = 0;
    int optionalDecimals = 0;
};

TPattern ParsePattern(const QString& pattern) {
    TPattern parsed;
    bool afterPoint = false;
    for (const QChar ch : pattern) {
        if (ch == u'.') {
            afterPoint = true;
        } else if (ch == u',') {
            if (!afterPoint) {
                parsed.grouping = true;
            }
        } else if (ch == u'0') {
            if (afterPoint) {
                ++parsed.requiredDecimals;
                parsed.requiredDecimals += parsed.optionalDecimals;
                parsed.optionalDecimals = 0;
            } else {
                ++parsed.minIntegerDigits;
            }
        } else if (ch == u'#') {
            if (afterPoint) {
                ++parsed.optionalDecimals;
            }
        }
    }
    return parsed;
}

} // namespace

QString FormatFloat(const QString& pattern, double value, QChar decimalSeparator,
                    QChar thousandSeparator) {
    if (std::isnan(value)) {
        return QStringLiteral("NAN");
    }
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    }
    const TPattern p = ParsePattern(pattern);
    const int decimals = p.requiredDecimals + p.optionalDecimals;

    // The value's 15 significant decimal digits and its decimal exponent.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    std::string digits;
    const char* c = buffer;
    for (; *c != 'e'; ++c) {
        if (*c >= '0' && *c <= '9') {
            digits.push_back(*c);
        }
    }
    const int exponent = std::atoi(c + 1);
    // Place the digits on a fixed grid: integer digits then `decimals` fractional digits.
    // digits[0] has the weight 10^exponent.
    const int integerDigits = std::max(exponent + 1, 1);
    std::string fixed(static_cast<std::size_t>(integerDigits + decimals), '0');
    bool roundUp = false;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const int weight = exponent - static_cast<int>(i); // power of ten of this digit
        const int position = integerDigits - 1 - weight;
        if (position < 0) {
            continue; // cannot happen: integerDigits covers the leading digit
        }
        if (position < static_cast<int>(fixed.size())) {
            fixed[static_cast<std::size_t>(position)] = digits[i];
        } else if (position == static_cast<int>(fixed.size())) {
            roundUp = digits[i] >= '5'; // half away from zero on the decimal digits
            break;
        } else {
            break;
        }
    }
    if (roundUp) {
        int i = static_cast<int>(fixed.size()) - 1;
        for (; i >= 0; --i) {
            if (fixed[static_cast<std::size_t>(i)] == '9') {
                fixed[static_cast<std::size_t>(i)] = '0';
            } else {
                ++fixed[static_cast<std::size_t>(i)];
                break;
            }
        }
        if (i < 0) {
            fixed.insert(fixed.begin(), '1');
        }
    }
    const std::size_t fractionStart = fixed.size() - static_cast<std::size_t>(decimals);
    std::string integerPart = fixed.substr(0, fractionStart);
    std::string fraction = fixed.substr(fractionStart);
    // Drop optional trailing zeros.
    while (static_cast<int>(fraction.size()) > p.requiredDecimals && !fraction.empty() &&
           fraction.back() == '0') {
        fraction.pop_back();
    }
    // Leading zeros down to the pattern's minimum integer digits.
    std::size_t firstSignificant = integerPart.find_first_not_of('0');
    if (firstSignificant == std::string::npos) {
        firstSignificant = integerPart.size();
    }
    integerPart.erase(0, firstSignificant);
    while (static_cast<int>(integerPart.size()) < p.minIntegerDigits) {
        integerPart.insert(integerPart.begin(), '0');
    }

    const bool allZero = integerPart.find_first_not_of('0') == std::string::npos &&
                         fraction.find_first_not_of('0') == std::string::npos;
    QString text;
    if (value < 0 && !allZero) {
        text += u'-';
    }
    for (std::size_t i = 0; i < integerPart.size(); ++i) {
        const std::size_t remaining = integerPart.size() - i;
        if (p.grouping && i > 0 && remaining % 3 == 0) {
            text += thousandSeparator;
        }
        text += QChar(integerPart[i]);
    }
    if (!fraction.empty()) {
        text += decimalSeparator;
        text += QString::fromLatin1(fraction.data(), static_cast<qsizetype>(fraction.size()));
    }
    return text;
}

std::vector<int> MinorTickPositions(const std::vector<int>& ticks, int count) {
    std::vector<int> positions;
    if (ticks.empty() || count <= 0) {
        return positions;
    }
    const double parts = count + 1.0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const double gap = static_cast<double>(ticks[i]) - ticks[i - 1];
        for (int j = 1; j <= count; ++j) {
            positions.push_back(ticks[i] - Round(j * (gap / parts)));
        }
    }
    if (ticks.size() > 1) {
        const double gap = static_cast<double>(ticks[1]) - ticks[0];
        for (int j = 1; j <= count; ++j) {
            const int d = Round((gap / parts) * j);
            positions.push_back(ticks.front() - d);
            positions.push_back(ticks.back() + d);
        }
    }
    return positions;
}

std::vector<int> CentredGridPositions(const std::vector<int>& ticks) {
    std::vector<int> positions;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        positions.push_back(Round((static_cast<double>(ticks[i - 1]) + ticks[i]) / 2.0));
    }
    return positions;
}

std::size_t OrderedInsertIndex(const std::vector<double>& values, double x, TChartListOrder order) {
    const std::size_t count = values.size();
    if (order == loNone || count == 0) {
        return count;
    }
    if (order == loAscending) {
        if (x >= values.back()) {
            return count;
        }
        for (std::size_t i = count; i-- > 0;) {
            if (values[i] <= x) {
                return i + 1;
            }
        }
        return 0;
    }
    if (x <= values.back()) {
        return count;
    }
    for (std::size_t i = count; i-- > 0;) {
        if (values[i] >= x) {
            return i + 1;
        }
    }
    return 0;
}

TVisibleRange VisiblePoints(const std::vector<double>& xValues, double multiplier, bool ordered,
                            double lowLimit, double highLimit) {
    TVisibleRange range;
    const int count = static_cast<int>(xValues.size());
    if (count == 0) {
        return range;
    }
    if (!ordered) {
        range.first = 0;
        range.last = count - 1;
        return range;
    }
    const auto x = [&](int i) { return xValues[static_cast<std::size_t>(i)] * multiplier; };
    for (int i = 0; i < count; ++i) {
        if (x(i) >= lowLimit) {
            range.first = i;
            break;
        }
    }
    if (range.first < 0) {
        return range;
    }
    range.last = count - 1;
    if (x(count - 1) > highLimit) {
        for (int i = range.first; i < count; ++i) {
            if (x(i) >= highLimit) {
                range.last = i;
                break;
            }
        }
    }
    return range;
}

} // namespace chart

// The axis' settings: the range with its automatic ends and the checks on them, and the
// label, tick and grid settings, each asking for a repaint only on a real change.

#include "widgets/ChartAxis.h"

#include "platform/base/Change.h"

#include <utility>

namespace {

// Error texts of the axis.
constexpr const char* kMinimumAboveMaximum = "Axis Minimum Value must be <= Maximum";
constexpr const char* kMaximumBelowMinimum = "Axis Maximum Value must be >= Minimum";
constexpr const char* kNegativeIncrement = "Axis increment must be >= 0";

// Smallest range SetAxisRange leaves.
constexpr double kMinimumAxisRange = 1e-10;

} // namespace

void TCustomChartAxis::SetAutomatic(bool automatic) {
    if (base::Change(automatic_, automatic)) {
        RequestRepaint();
    }
    if (!Loading()) {
        automaticMinimum_ = automatic;
        automaticMaximum_ = automatic;
    }
}

void TCustomChartAxis::SetAutomaticMinimum(bool automatic) {
    if (base::Change(automaticMinimum_, automatic)) {
        RequestRepaint();
    }
    if (!automatic || automaticMaximum_) {
        automatic_ = automatic;
    }
}

void TCustomChartAxis::SetAutomaticMaximum(bool automatic) {
    if (base::Change(automaticMaximum_, automatic)) {
        RequestRepaint();
    }
    if (!automatic || automaticMinimum_) {
        automatic_ = automatic;
    }
}

void TCustomChartAxis::SetAutomaticFlags(bool automatic, bool automaticMinimum,
                                         bool automaticMaximum) {
    automatic_ = automatic;
    automaticMinimum_ = automaticMinimum;
    automaticMaximum_ = automaticMaximum;
}

void TCustomChartAxis::SetMinimum(double value) {
    if (!Loading() && value > maximum_) {
        throw AxisException(kMinimumAboveMaximum);
    }
    if (base::Change(minimum_, value)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetMaximum(double value) {
    if (!Loading() && value < minimum_) {
        throw AxisException(kMaximumBelowMinimum);
    }
    if (base::Change(maximum_, value)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetAxisRange(double minimum, double maximum) {
    SetAutomaticFlags(false, false, false);
    if (minimum > maximum) {
        std::swap(minimum, maximum);
    }
    if (maximum - minimum < kMinimumAxisRange) {
        maximum = minimum + kMinimumAxisRange;
    }
    // Both ends are stored unchecked: the pair is consistent, each end alone may not be.
    const bool minimumChanged = base::Change(minimum_, minimum);
    if (base::Change(maximum_, maximum) || minimumChanged) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetIncrement(double increment) {
    if (increment < 0.0) {
        throw AxisException(kNegativeIncrement);
    }
    if (base::Change(increment_, increment)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetVisible(bool visible) {
    if (base::Change(visible_, visible)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetLabels(bool labels) {
    if (base::Change(labels_, labels)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetLabelsSeparation(int percent) {
    if (base::Change(labelsSeparation_, percent)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetLabelsOnAxis(bool onAxis) {
    if (base::Change(labelsOnAxis_, onAxis)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetLabelsSize(int pixels) {
    if (base::Change(labelsSize_, pixels)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetRoundFirstLabel(bool round) {
    if (base::Change(roundFirstLabel_, round)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetTickOnLabelsOnly(bool onLabelsOnly) {
    if (base::Change(tickOnLabelsOnly_, onLabelsOnly)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetTickLength(int pixels) {
    if (base::Change(tickLength_, pixels)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetTickInnerLength(int pixels) {
    if (base::Change(tickInnerLength_, pixels)) {
        RequestRepaint();
    }
}

void TCustomChartAxis::SetGridCentered(bool centered) {
    if (base::Change(gridCentered_, centered)) {
        RequestRepaint();
    }
}

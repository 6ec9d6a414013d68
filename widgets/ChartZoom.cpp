// Mouse zoom, panning and the wheel shift of TCustomAxisPanel.
#include "widgets/ChartAxisPanel.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

namespace {

// Wheel rotation of one step, in eighths of a degree.
constexpr int kWheelStep = 120;

} // namespace

bool TCustomAxisPanel::PressQualifies(QPoint point) const {
    const bool anyActive = std::any_of(series_.begin(), series_.end(),
                                       [](const auto& series) { return series->Active(); });
    if (anyActive && chartRect_.Contains(point.x(), point.y())) {
        return true;
    }
    // Clipped series show nothing outside the plot rectangle, so a press there is not on them.
    if (!clipPoints_) {
        for (const auto& series : series_) {
            if (series->Active() && series->Clicked(point.x(), point.y())) {
                return true;
            }
        }
    }
    for (const TChartAxis* axis : AxesList()) {
        if (IsAxisDrawn(*axis) && axis->BandRect().Contains(point.x(), point.y())) {
            return true;
        }
    }
    return false; // titles are never drawn, so a press cannot land on one
}

void TCustomAxisPanel::SaveScales() {
    const std::array<TChartAxis*, 5> axes = AxesList();
    for (std::size_t i = 0; i < savedScales_.size(); ++i) {
        const TChartAxis& axis = *axes[i];
        savedScales_[i] = {axis.Automatic(), axis.AutomaticMinimum(), axis.AutomaticMaximum(),
                           axis.Minimum(), axis.Maximum()};
    }
    scalesInForce_ = false;
}

void TCustomAxisPanel::ZoomRect(const QRect& rect) {
    if (scalesInForce_) {
        SaveScales();
    }
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    for (TChartAxis* axis : {bottomAxis_.get(), topAxis_.get()}) {
        axis->SetAxisRange(axis->CalcPosPoint(left), axis->CalcPosPoint(right));
    }
    for (TChartAxis* axis : {leftAxis_.get(), rightAxis_.get()}) {
        axis->SetAxisRange(axis->CalcPosPoint(bottom), axis->CalcPosPoint(top));
    }
    RequestRepaint();
}

void TCustomAxisPanel::UndoZoom() {
    if (!scalesInForce_) {
        const std::array<TChartAxis*, 5> axes = AxesList();
        for (std::size_t i = 0; i < savedScales_.size(); ++i) {
            const TSavedScale& saved = savedScales_[i];
            if (!saved.automatic) {
                axes[i]->SetAxisRange(saved.minimum, saved.maximum);
            }
            axes[i]->SetAutomaticFlags(saved.automatic, saved.automaticMinimum,
                                       saved.automaticMaximum);
        }
        scalesInForce_ = true;
    }
    RequestRepaint();
}

QRect TCustomAxisPanel::ZoomBand() const {
    return QRect(
        QPoint(std::min(zoom_.start.x(), zoom_.end.x()), std::min(zoom_.start.y(), zoom_.end.y())),
        QPoint(std::max(zoom_.start.x(), zoom_.end.x()), std::max(zoom_.start.y(), zoom_.end.y())));
}

void TCustomAxisPanel::ToggleRubberBand(const QRect& rect) {
    const auto found = std::find(xorBands_.begin(), xorBands_.end(), rect);
    if (found != xorBands_.end()) {
        xorBands_.erase(found);
    } else {
        xorBands_.push_back(rect);
    }
    update(rect); // only copies the image and combines the outlines again
}

void TCustomAxisPanel::mousePressEvent(QMouseEvent* event) {
    if (zoom_.active || panning_.active) {
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!PressQualifies(point)) {
        return;
    }
    if (event->button() == Qt::LeftButton && allowZoom_) {
        zoom_ = {true, point, point};
        ToggleRubberBand(ZoomBand());
    } else if (event->button() == Qt::RightButton && allowPanning_ != pmNone) {
        panning_ = {true, point, point};
    }
}

void TCustomAxisPanel::PanTo(QPoint point) {
    if (!chartRect_.Contains(point.x(), point.y())) {
        panning_.active = false;
        return;
    }
    if (point == panning_.end) {
        return;
    }
    if (scalesInForce_) {
        SaveScales();
    }
    bool moved = false;
    const bool horizontal = allowPanning_ == pmHorizontal || allowPanning_ == pmBoth;
    const bool vertical = allowPanning_ == pmVertical || allowPanning_ == pmBoth;
    if (horizontal && point.x() != panning_.end.x()) {
        for (TChartAxis* axis : {bottomAxis_.get(), topAxis_.get()}) {
            const double delta =
                axis->CalcPosPoint(panning_.end.x()) - axis->CalcPosPoint(point.x());
            axis->SetAxisRange(axis->Minimum() + delta, axis->Maximum() + delta);
        }
        moved = true;
    }
    if (vertical && point.y() != panning_.end.y()) {
        for (TChartAxis* axis : {leftAxis_.get(), rightAxis_.get()}) {
            const double delta =
                axis->CalcPosPoint(panning_.end.y()) - axis->CalcPosPoint(point.y());
            axis->SetAxisRange(axis->Minimum() + delta, axis->Maximum() + delta);
        }
        moved = true;
    }
    panning_.end = point;
    if (moved) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (zoom_.active) {
        if (point != zoom_.end) {
            ToggleRubberBand(ZoomBand());
            zoom_.end = point;
            ToggleRubberBand(ZoomBand());
        }
    } else if (panning_.active) {
        PanTo(point);
    }
}

void TCustomAxisPanel::EndZoomDrag(QPoint point) {
    ToggleRubberBand(ZoomBand());
    zoom_.end = point;
    zoom_.active = false;
    const int dx = zoom_.end.x() - zoom_.start.x();
    const int dy = zoom_.end.y() - zoom_.start.y();
    if (std::abs(dx) <= kMinimumZoomPixels || std::abs(dy) <= kMinimumZoomPixels) {
        return;
    }
    if (dx > 0 && dy > 0) {
        ZoomRect(QRect(zoom_.start, QSize(dx, dy)));
    } else {
        UndoZoom();
    }
}

void TCustomAxisPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (zoom_.active && event->button() == Qt::LeftButton) {
        EndZoomDrag(event->position().toPoint());
    }
    panning_.active = false;
}

void TCustomAxisPanel::leaveEvent(QEvent* event) {
    panning_.active = false;
    TCustomPanel::leaveEvent(event);
}

void TCustomAxisPanel::ShiftVertical(double fraction) {
    for (TChartAxis* axis : {leftAxis_.get(), rightAxis_.get()}) {
        const double amount = fraction * (axis->Maximum() - axis->Minimum());
        axis->SetAutomaticFlags(false, false, false);
        // Move the leading end first so that the ends never cross.
        if (amount >= 0.0) {
            axis->SetMaximum(axis->Maximum() + amount);
            axis->SetMinimum(axis->Minimum() + amount);
        } else {
            axis->SetMinimum(axis->Minimum() + amount);
            axis->SetMaximum(axis->Maximum() + amount);
        }
    }
    RequestRepaint();
}

void TCustomAxisPanel::wheelEvent(QWheelEvent* event) {
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / kWheelStep;
    wheelRemainder_ -= steps * kWheelStep;
    // A step towards the user (down) moves the range up.
    for (int i = 0; i < std::abs(steps); ++i) {
        ShiftVertical(steps > 0 ? -kWheelShift : kWheelShift);
    }
    event->accept();
}

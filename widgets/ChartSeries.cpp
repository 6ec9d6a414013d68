#include "widgets/ChartSeries.h"

#include "platform/base/Change.h"

#include "widgets/ChartAxis.h"
#include "widgets/ChartAxisPanel.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// Pixel positions beyond this are not drawn.
constexpr int kPixelLimit = 32766;
// How close to a drawn piece a press counts as on the line.
constexpr double kClickTolerance = 3.0;

bool OutsidePixelLimit(int pixel) {
    return pixel < -kPixelLimit || pixel > kPixelLimit;
}

double DistanceToSegment(const QPoint& p, const QPoint& a, const QPoint& b) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double lengthSquared = dx * dx + dy * dy;
    double t = 0.0;
    if (lengthSquared > 0.0) {
        t = std::clamp(((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / lengthSquared, 0.0, 1.0);
    }
    return std::hypot(p.x() - (a.x() + t * dx), p.y() - (a.y() + t * dy));
}

} // namespace

// ---- Strokes ---------------------------------------------------------------------------

void DrawStrokes(QPainter& painter, std::span<const TSeriesStroke> strokes,
                 const chart::TPixelRect& plot, bool clip) {
    if (strokes.empty()) {
        return;
    }
    if (clip) {
        painter.setClipRect(QRect(plot.left, plot.top, plot.Width(), plot.Height()));
    }
    painter.setBrush(Qt::NoBrush);
    // A square cap covers both end pixels; a flat one would drop one end, chosen by direction.
    QPen pen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    bool penSet = false;
    for (const TSeriesStroke& stroke : strokes) {
        if (!penSet || pen.color().rgb() != stroke.color || pen.width() != stroke.width) {
            pen.setColor(QColor::fromRgb(stroke.color));
            pen.setWidth(stroke.width);
            pen.setCosmetic(stroke.width <= 1);
            painter.setPen(pen);
            penSet = true;
        }
        painter.drawLine(stroke.from, stroke.to);
    }
    if (clip) {
        painter.setClipping(false);
    }
}

QRect StrokeBounds(const TSeriesStroke& stroke) {
    const int margin = std::max(1, stroke.width);
    return QRect(QPoint(std::min(stroke.from.x(), stroke.to.x()),
                        std::min(stroke.from.y(), stroke.to.y())),
                 QPoint(std::max(stroke.from.x(), stroke.to.x()),
                        std::max(stroke.from.y(), stroke.to.y())))
        .adjusted(-margin, -margin, margin, margin);
}

// ---- TChartValueList -------------------------------------------------------------------

void TChartValueList::SetOrder(TChartListOrder order) {
    order_ = order;
}

void TChartValueList::SetMultiplier(double multiplier) {
    if (base::Change(multiplier_, multiplier) && onChange_) {
        onChange_();
    }
}

double TChartValueList::MinValue() const {
    if (values_.empty()) {
        return 0.0;
    }
    double result = Value(0);
    for (int i = 1; i < Count(); ++i) {
        result = std::min(result, Value(i));
    }
    return result;
}

double TChartValueList::MaxValue() const {
    if (values_.empty()) {
        return 0.0;
    }
    double result = Value(0);
    for (int i = 1; i < Count(); ++i) {
        result = std::max(result, Value(i));
    }
    return result;
}

int TChartValueList::AddOrdered(double value) {
    const std::size_t index = chart::OrderedInsertIndex(values_, value, order_);
    values_.insert(values_.begin() + static_cast<std::ptrdiff_t>(index), value);
    return static_cast<int>(index);
}

void TChartValueList::Insert(int index, double value) {
    values_.insert(values_.begin() + index, value);
}

// ---- TChartSeries ----------------------------------------------------------------------

TChartSeries::TChartSeries()
    : xValues_(QStringLiteral("X"), loAscending, [this] { RequestDataRepaint(); }),
      yValues_(QStringLiteral("Y"), loNone, [this] { RequestDataRepaint(); }) {}

void TChartSeries::RequestRepaint() const {
    if (chart_ != nullptr) {
        chart_->RequestRepaint();
    }
}

void TChartSeries::RequestDataRepaint() const {
    if (chart_ != nullptr) {
        chart_->RequestDataRepaint();
    }
}

void TChartSeries::SetActive(bool active) {
    if (base::Change(active_, active)) {
        RequestRepaint();
    }
}

void TChartSeries::SetSeriesColor(TColor color) {
    if (base::Change(seriesColor_, color)) {
        RequestRepaint();
    }
}

void TChartSeries::SetColorEachPoint(bool colorEachPoint) {
    if (base::Change(colorEachPoint_, colorEachPoint)) {
        RequestRepaint();
    }
}

void TChartSeries::SetHorizAxis(THorizAxis axis) {
    if (base::Change(horizAxis_, axis)) {
        RequestRepaint();
    }
}

void TChartSeries::SetVertAxis(TVertAxis axis) {
    if (base::Change(vertAxis_, axis)) {
        RequestRepaint();
    }
}

int TChartSeries::InsertPoint(double x, double y, const QString& label, TColor color) {
    const int index = xValues_.AddOrdered(x);
    yValues_.Insert(index, y);
    colors_.insert(colors_.begin() + index, color);
    labels_.insert(labels_.begin() + index,
                   label.isEmpty() ? std::nullopt : std::optional<QString>(label));
    if (active_) {
        RequestDataRepaint();
    }
    return index;
}

void TChartSeries::ClearPoints() {
    xValues_.Clear();
    yValues_.Clear();
    colors_.clear();
    labels_.clear();
    if (active_ && chart_ != nullptr && !chart_->Destroying()) {
        RequestDataRepaint();
    }
}

TColor TChartSeries::ValueColor(int index) const {
    if (index < 0 || index >= static_cast<int>(colors_.size())) {
        return seriesColor_;
    }
    const TColor color = colors_[static_cast<std::size_t>(index)];
    return color == clDefaultColor ? seriesColor_ : color;
}

QString TChartSeries::Label(int index) const {
    if (index < 0 || index >= static_cast<int>(labels_.size())) {
        return {};
    }
    return labels_[static_cast<std::size_t>(index)].value_or(QString());
}

// ---- TCustomSeries ---------------------------------------------------------------------

TCustomSeries::TCustomSeries()
    : pointer_([this] { RequestRepaint(); }), linePen_([this] { RequestRepaint(); }) {}

void TCustomSeries::SetStairs(bool stairs) {
    if (base::Change(stairs_, stairs)) {
        RequestRepaint();
    }
}

const std::vector<TSeriesSegment>& TCustomSeries::CalcSegments(const TCustomChartAxis& horizAxis,
                                                               const TCustomChartAxis& vertAxis,
                                                               const chart::TPixelRect& plot) {
    lastSegments_.clear();
    const chart::TAxisScale horizontal = horizAxis.Scale();
    const chart::TAxisScale vertical = vertAxis.Scale();
    const TChartValueList& xs = XValues();
    const TChartValueList& ys = YValues();

    chart::TVisibleRange range;
    if (Count() > 0) {
        range = chart::VisiblePoints(xs.Stored(), xs.Multiplier(), xs.Order() != loNone,
                                     horizontal.PixelToValue(plot.left),
                                     horizontal.PixelToValue(plot.right));
    }
    SetVisibleRange(range);
    if (range.first < 0) {
        return lastSegments_;
    }

    const auto addSegment = [this](QPoint from, QPoint to, TColor color) {
        if (to == from || color == clNone) {
            return;
        }
        if (stairs_) {
            const QPoint corner(to.x(), from.y());
            if (corner != from) {
                lastSegments_.push_back({from, corner, color});
            }
            if (to != corner) {
                lastSegments_.push_back({corner, to, color});
            }
        } else {
            lastSegments_.push_back({from, to, color});
        }
    };

    TColor previousColor = clNone;
    QPoint previous;
    bool hasPrevious = false;
    for (int i = range.first; i <= range.last; ++i) {
        const TColor color = ValueColor(i);
        const QPoint point(horizontal.ValueToPixel(xs.Value(i)),
                           vertical.ValueToPixel(ys.Value(i)));
        if (OutsidePixelLimit(point.x()) || OutsidePixelLimit(point.y())) {
            previousColor = color;
            continue;
        }
        if (previousColor == clNone) {
            previous = point;
            hasPrevious = true;
        }
        if (i == range.first) {
            if (i > 0) {
                // Carry the line in from the plot's left edge.
                const double x0 = xs.Value(i - 1);
                const double y0 = ys.Value(i - 1);
                double yAtLeft = y0;
                if (!stairs_) {
                    const double xLeft = horizontal.PixelToValue(plot.left);
                    const double dx = xs.Value(i) - x0;
                    if (dx != 0.0) {
                        yAtLeft = y0 + (ys.Value(i) - y0) * (xLeft - x0) / dx;
                    }
                }
                previous = QPoint(plot.left, vertical.ValueToPixel(yAtLeft));
                hasPrevious = true;
                if (ValueColor(i - 1) != clNone) {
                    addSegment(previous, point, color);
                }
            }
        } else if (hasPrevious) {
            addSegment(previous, point, color);
        }
        previous = point;
        hasPrevious = true;
        previousColor = color;
    }
    return lastSegments_;
}

void TCustomSeries::CalcStrokes(const TCustomChartAxis& horizAxis, const TCustomChartAxis& vertAxis,
                                const chart::TPixelRect& plot,
                                std::vector<TSeriesStroke>& strokes) {
    const std::vector<TSeriesSegment>& segments = CalcSegments(horizAxis, vertAxis, plot);
    if (!linePen_.Draws()) {
        return;
    }
    for (const TSeriesSegment& segment : segments) {
        strokes.push_back({segment.from, segment.to,
                           ChartColorToQColor(segment.color, linePen_.Color()).rgb(),
                           linePen_.Width()});
    }
}

bool TCustomSeries::Clicked(int x, int y) const {
    const QPoint point(x, y);
    return std::any_of(lastSegments_.begin(), lastSegments_.end(), [&](const TSeriesSegment& s) {
        return DistanceToSegment(point, s.from, s.to) <= kClickTolerance;
    });
}

// ---- TLineSeries -----------------------------------------------------------------------

TLineSeries::TLineSeries() {
    pointer_.SetVisible(false);
}

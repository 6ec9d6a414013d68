#include "widgets/Gauges.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "platform/ui/Exception.h"
#include "widgets/GaugeMetrics.h"
#include "widgets/GaugesPrivate.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <cmath>
#include <numbers>
#include <string>

namespace {

QRgb Rgb(TColor color) {
    return ColorToQColor(color).rgb();
}

std::string BoundsMessage(std::int64_t low, std::int64_t high) {
    return "Value must be between " + std::to_string(low) + " and " + std::to_string(high);
}

// The parametric angle, in degrees counter-clockwise from three o'clock, at which the ellipse
// inscribed in `bounds` meets the radial from its centre through `point`.
double RadialAngle(const QRectF& bounds, QPointF point) {
    const double a = bounds.width() / 2;
    const double b = bounds.height() / 2;
    const QPointF centre = bounds.center();
    const double dx = a > 0 ? (point.x() - centre.x()) / a : 0;
    const double dy = b > 0 ? (centre.y() - point.y()) / b : 0;
    return std::atan2(dy, dx) * 180 / std::numbers::pi;
}

// Span from one angle counter-clockwise to another, in (0, 360].
double CounterClockwiseSpan(double from, double to) {
    double span = std::fmod(to - from, 360.0);
    if (span <= 0) {
        span += 360;
    }
    return span;
}

// A Qt rectangle whose one-pixel outline covers columns left … right − 1 and rows
// top … bottom − 1 (right and bottom excluded, as the gauge's rectangles are given).
QRect OutlineRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left - 1, bottom - top - 1);
}

void PlotLine(QImage& image, QPoint from, QPoint to, QRgb colour) {
    for (const QPoint& p : gauge::LinePixels(from, to)) {
        if (image.rect().contains(p)) {
            image.setPixel(p, colour);
        }
    }
}

QPainter::RenderHints NoHints() {
    return {};
}

} // namespace

void TBltBitmap::MakeLike(const QPaintDevice& templ) {
    image_ = QImage();
    if (templ.width() <= 0 || templ.height() <= 0) {
        return;
    }
    const bool injectedFailure = allocationsLeft_ == 0;
    if (allocationsLeft_ > 0) {
        --allocationsLeft_;
    }
    QImage image =
        injectedFailure ? QImage() : QImage(templ.width(), templ.height(), QImage::Format_RGB32);
    if (image.isNull()) {
        throw Exception("Out of system resources");
    }
    image_ = std::move(image);
    Fill(clWindowFrame);
}

void TBltBitmap::Fill(TColor color) {
    if (!image_.isNull()) {
        image_.fill(ColorToQColor(color));
    }
}

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    resize(100, 100);
}

TGauge::~TGauge() = default;

void TGauge::SetKind(TGaugeKind kind) {
    if (base::Change(kind_, kind)) {
        RepaintNow();
    }
}

void TGauge::SetShowText(bool show) {
    if (base::Change(showText_, show)) {
        RepaintNow();
    }
}

void TGauge::SetBorderStyle(TBorderStyle style) {
    if (base::Change(borderStyle_, style)) {
        RepaintNow();
    }
}

void TGauge::SetForeColor(TColor color) {
    if (base::Change(foreColor_, color)) {
        RepaintNow();
    }
}

void TGauge::SetBackColor(TColor color) {
    if (base::Change(backColor_, color)) {
        RepaintNow();
    }
}

void TGauge::SetColor(TColor color) {
    if (base::Change(color_, color)) {
        update();
    }
}

void TGauge::SetMinValue(std::int32_t value) {
    if (value == minValue_) {
        return;
    }
    if (value > maxValue_ && !loading_) {
        throw EInvalidOperation(BoundsMessage(-2147483647, std::int64_t{maxValue_} - 1));
    }
    minValue_ = value;
    if (progress_ < value) {
        progress_ = value;
    }
    RepaintNow();
}

void TGauge::SetMaxValue(std::int32_t value) {
    if (value == maxValue_) {
        return;
    }
    if (value < minValue_ && !loading_) {
        throw EInvalidOperation(BoundsMessage(std::int64_t{minValue_} + 1, 2147483647));
    }
    maxValue_ = value;
    if (progress_ > value) {
        progress_ = value;
    }
    RepaintNow();
}

void TGauge::SetProgress(std::int32_t value) {
    const int before = PercentComplete();
    if (value < minValue_) {
        value = minValue_;
    } else if (value > maxValue_) {
        value = maxValue_;
    }
    if (base::Change(progress_, value) && PercentComplete() != before) {
        RepaintNow();
    }
}

int TGauge::PercentComplete() const {
    return gauge::PercentComplete(minValue_, maxValue_, progress_);
}

void TGauge::RepaintNow() {
    if (isVisible()) {
        repaint();
    }
}

void TGauge::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        update();
    }
    QWidget::changeEvent(event);
}

void TGauge::paintEvent(QPaintEvent*) {
    ui::RunHandler([this] {
        const QImage picture = Render();
        QPainter painter(this);
        painter.drawImage(0, 0, picture);
    });
}

QImage TGauge::Render() const {
    const TGaugePicture::TState state{size(),     kind_,  showText_, borderStyle_,     foreColor_,
                                      backColor_, color_, font(),    PercentComplete()};
    if (picture_ && picture_->shows == state) {
        return picture_->image.Image();
    }
    if (!picture_ || picture_->image.Image().size() != size()) {
        picture_.reset(); // the old size's image goes first, also when the new one fails
        auto picture = std::make_unique<TGaugePicture>();
        picture->image.MakeLike(*this);
        picture_ = std::move(picture);
    }
    picture_->shows.reset();
    TBltBitmap& work = picture_->image;
    work.Fill(clBlack);
    int left = 0, top = 0, right = width(), bottom = height();
    if (borderStyle_ == bsSingle) {
        ++left;
        ++top;
        --right;
        --bottom;
    }
    // The shape is drawn straight into the black picture: its exclusive-or with black is itself.
    PaintShape(work.Image(), left, top, right, bottom);
    if (showText_) {
        PaintText(work.Image(), left, top, right, bottom);
    }
    picture_->shows = state;
    return work.Image();
}

void TGauge::PaintShape(QImage& image, int left, int top, int right, int bottom) const {
    if (image.isNull()) {
        return;
    }
    const int percent = PercentComplete();
    const QRect paintRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    switch (kind_) {
    case gkText: {
        QPainter(&image).fillRect(paintRect, ColorToQColor(backColor_));
        break;
    }
    case gkHorizontalBar: {
        const std::int64_t w = right - left + 1;
        const int h = bottom - top + 1;
        QPainter painter(&image);
        painter.fillRect(paintRect, ColorToQColor(backColor_));
        std::int64_t fill = gauge::FillLength(w, percent);
        if (fill > w) {
            fill = w;
        }
        // The fill length is the right edge of the bar itself, not a width added to left.
        if (fill > 0) {
            painter.fillRect(QRect(QPoint(left, top), QPoint(static_cast<int>(fill) - 1, h - 1)),
                             ColorToQColor(foreColor_));
        }
        break;
    }
    case gkVerticalBar: {
        const int w = right - left + 1;
        const std::int64_t h = bottom - top + 1;
        QPainter painter(&image);
        painter.fillRect(paintRect, ColorToQColor(backColor_));
        std::int64_t fill = gauge::FillLength(h, percent);
        if (fill >= h) {
            fill = h - 1;
        }
        const int barTop = static_cast<int>(h - fill);
        if (fill > 0) {
            painter.fillRect(QRect(QPoint(left, barTop), QPoint(w - 1, static_cast<int>(h) - 1)),
                             ColorToQColor(foreColor_));
        }
        break;
    }
    case gkPie:
        PaintPie(image, left, top, right, bottom, percent);
        break;
    case gkNeedle:
        PaintNeedle(image, left, top, right, bottom, percent);
        break;
    }
}

void TGauge::PaintPie(QImage& image, int left, int top, int right, int bottom, int percent) const {
    int w = right - left;
    int h = bottom - top;
    if (borderStyle_ == bsSingle) {
        ++w;
        ++h;
    }
    QPainter painter(&image);
    painter.setRenderHints(NoHints());
    painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)),
                     ColorToQColor(color_));
    const QRect bounds = OutlineRect(left, top, w, h);
    if (bounds.width() < 0 || bounds.height() < 0) {
        return;
    }
    painter.setPen(QPen(ColorToQColor(foreColor_), 1));
    painter.setBrush(ColorToQColor(backColor_));
    painter.drawEllipse(bounds);
    if (percent <= 0) {
        return;
    }
    const QPoint start = gauge::PieStartPoint(w / 2, h / 2, percent);
    const QPoint end(w / 2, 0);
    const QRectF ellipse(left, top, w - left, h - top);
    double span;
    if (start == end) {
        // Both radials coincide after rounding: a full turn only when the gauge is (nearly)
        // full, never a full pie for a small percentage on a tiny gauge.
        if (percent < 50) {
            return;
        }
        span = 360;
    } else {
        span = CounterClockwiseSpan(RadialAngle(ellipse, start), RadialAngle(ellipse, end));
    }
    const double startAngle = RadialAngle(ellipse, start);
    painter.setBrush(ColorToQColor(foreColor_));
    painter.drawPie(bounds, static_cast<int>(std::lround(startAngle * 16)),
                    static_cast<int>(std::lround(span * 16)));
}

void TGauge::PaintNeedle(QImage& image, int left, int top, int right, int bottom,
                         int percent) const {
    int w = right - left;
    int h = bottom - top;
    if (borderStyle_ == bsSingle) {
        ++w;
        ++h;
    }
    const QRgb fore = Rgb(foreColor_);
    {
        QPainter painter(&image);
        painter.setRenderHints(NoHints());
        painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)),
                         ColorToQColor(color_));
        const int ellipseBottom = 2 * h - 1;
        const QRect bounds = OutlineRect(left, top, w, ellipseBottom);
        if (bounds.width() >= 0 && bounds.height() >= 0) {
            const QRectF ellipse(left, top, w - left, ellipseBottom - top);
            const double from = RadialAngle(ellipse, QPointF(left + w, bottom - 1));
            const double to = RadialAngle(ellipse, QPointF(left, bottom - 1));
            painter.setPen(QPen(ColorToQColor(foreColor_), 1));
            painter.setBrush(ColorToQColor(backColor_));
            painter.drawPie(bounds, static_cast<int>(std::lround(from * 16)),
                            static_cast<int>(std::lround(CounterClockwiseSpan(from, to) * 16)));
        }
    }
    PlotLine(image, QPoint(left, bottom), QPoint(left + w, bottom), fore);
    if (percent > 0) {
        const int cx = width() / 2;
        PlotLine(image, QPoint(cx, bottom - 1), gauge::NeedleEnd(cx, bottom - 1, percent), fore);
    }
}

void TGauge::PaintText(QImage& image, int left, int top, int right, int bottom) const {
    if (image.isNull()) {
        return;
    }
    QFont textFont = font();
    // Whole pixels only, so that the exclusive-or gives exact inverted colours.
    textFont.setStyleStrategy(QFont::NoAntialias);
    const QString caption = QStringLiteral("%1%").arg(PercentComplete());
    QPainter painter(&image);
    painter.setFont(textFont);
    const QFontMetrics metrics(textFont, &image);
    const QPoint origin = gauge::TextOrigin(left, top, right, bottom,
                                            metrics.horizontalAdvance(caption), metrics.height());
    painter.setClipRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    // White exclusive-or'ed over the picture: every pixel under the text is inverted once.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(origin.x(), origin.y() + metrics.ascent(), caption);
}

#include "widgets/ChartAxis.h"

#include "platform/ui/FormatSettings.h"
#include "widgets/ChartAxisPanel.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

QFont DefaultLabelsFont() {
    // "Arial" 8 points: 11 pixels at 96 dots per inch.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    return font;
}

} // namespace

TCustomChartAxis::TCustomChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide)
    : chart_(chart), horizontal_(horizontal), otherSide_(otherSide),
      labelsFont_(DefaultLabelsFont()), axisPen_([this] { RequestRepaint(); }),
      ticks_([this] { RequestRepaint(); }), ticksInner_([this] { RequestRepaint(); }),
      minorTicks_([this] { RequestRepaint(); }), grid_([this] { RequestRepaint(); }),
      minorGrid_([this] { RequestRepaint(); }) {}

void TCustomChartAxis::RequestRepaint() const {
    if (chart_ != nullptr) {
        chart_->RequestRepaint();
    }
}

bool TCustomChartAxis::Loading() const {
    return chart_ != nullptr && chart_->Loading();
}

chart::TAxisScale TCustomChartAxis::Scale() const {
    return chart::TAxisScale{minimum_, maximum_, startPixel_, endPixel_, horizontal_};
}

QString TCustomChartAxis::LabelText(double value) const {
    const ui::TFormatSettings& settings = ui::FormatSettings();
    return chart::FormatFloat(axisValuesFormat_, value, settings.DecimalSeparator,
                              settings.ThousandSeparator);
}

const QFontMetrics& TCustomChartAxis::Metrics() const {
    if (!metrics_) {
        metrics_.emplace(labelsFont_);
        // Ascent and descent each rounded up, as the classic desktop's text metrics have them.
        const QFontMetricsF exact(labelsFont_);
        textAscent_ = static_cast<int>(std::ceil(exact.ascent()));
        textHeight_ = textAscent_ + static_cast<int>(std::ceil(exact.descent()));
    }
    return *metrics_;
}

int TCustomChartAxis::TextAscent() const {
    if (!metrics_) {
        Metrics();
    }
    return textAscent_;
}

int TCustomChartAxis::TextHeight() const {
    if (!metrics_) {
        Metrics();
    }
    return textHeight_;
}

int TCustomChartAxis::LabelWidth(const QString& text) const {
    return Metrics().horizontalAdvance(text);
}

void TCustomChartAxis::AdjustAutomaticRange(bool hasData, double dataMinimum, double dataMaximum) {
    if (automatic_ || automaticMinimum_) {
        minimum_ = hasData ? dataMinimum : 0.0;
    }
    if (automatic_ || automaticMaximum_) {
        maximum_ = hasData ? dataMaximum : 0.0;
    }
}

double TCustomChartAxis::CalcLabelStep(int length) const {
    int size = 0;
    if (horizontal_) {
        size = std::max(LabelWidth(LabelText(maximum_)), LabelWidth(LabelText(minimum_)));
    } else {
        size = TextHeight();
    }
    return chart::LabelStep(maximum_ - minimum_, length, size, labelsSeparation_, increment_);
}

void TCustomChartAxis::TakeBand(chart::TPixelRect& plot, TAxisLabelStyle style,
                                const std::vector<QString>& textLabels) {
    int labelBand = 0;
    if (labels_) {
        if (labelsSize_ != 0) {
            labelBand = labelsSize_;
        } else if (horizontal_) {
            labelBand = TextHeight();
        } else {
            int widest = 0;
            if (style == talText || style == talMark) {
                for (const QString& text : textLabels) {
                    widest = std::max(widest, LabelWidth(text));
                }
            } else {
                // The step of the previous paint's span (0 on the first paint).
                const double step = CalcLabelStep(Length());
                widest = std::max(LabelWidth(LabelText(
                                      chart::RoundedLabelValue(minimum_, step, roundFirstLabel_))),
                                  LabelWidth(LabelText(
                                      chart::RoundedLabelValue(maximum_, step, roundFirstLabel_))));
            }
            labelBand = widest + Metrics().horizontalAdvance(u' ');
        }
    }
    int tickBand =
        (axisPen_.Visible() ? axisPen_.Width() : 0) + (ticks_.Visible() ? tickLength_ : 0);
    if (minorTicks_.Visible()) {
        tickBand = std::max(tickBand, minorTickLength_);
    }

    chart::TPixelRect result = plot;
    // Outward direction of this side: the edge moves inwards by the band sizes.
    int* edge = nullptr;
    int inward = 0;
    if (horizontal_) {
        edge = otherSide_ ? &result.top : &result.bottom;
        inward = otherSide_ ? 1 : -1;
    } else {
        edge = otherSide_ ? &result.right : &result.left;
        inward = otherSide_ ? -1 : 1;
    }
    const int outer = *edge;
    *edge += inward * labelBand;
    labelsPixel_ = *edge;
    *edge += inward * tickBand;
    bandOuter_ = outer;
    bandInner_ = *edge;
    if (result.Overlaps(plot)) {
        plot = result;
    }
}

void TCustomChartAxis::CalcSpan(const chart::TPixelRect& plot) {
    if (horizontal_) {
        const int width = plot.Width();
        startPixel_ = plot.left + chart::Round(width * startPosition_ / 100.0);
        endPixel_ = plot.left + chart::Round(width * endPosition_ / 100.0);
        const int shift = chart::Round(plot.Height() * positionPercent_ / 100.0);
        axisLinePixel_ = otherSide_ ? plot.top + shift : plot.bottom - shift;
    } else {
        const int height = plot.Height();
        startPixel_ = plot.top + chart::Round(height * startPosition_ / 100.0);
        endPixel_ = plot.top + chart::Round(height * endPosition_ / 100.0);
        const int shift = chart::Round(plot.Width() * positionPercent_ / 100.0);
        axisLinePixel_ = otherSide_ ? plot.right - shift : plot.left + shift;
    }
    const int near = std::min(bandOuter_, bandInner_);
    const int far = std::max(bandOuter_, bandInner_);
    // The axis line (up to its pen's width) belongs to the band too.
    const int lineHalf = std::max(axisPen_.Width(), 1);
    if (horizontal_) {
        bandRect_ = {startPixel_, std::min(near, axisLinePixel_ - lineHalf), endPixel_ + 1,
                     std::max(far, axisLinePixel_ + lineHalf)};
    } else {
        bandRect_ = {std::min(near, axisLinePixel_ - lineHalf), startPixel_,
                     std::max(far, axisLinePixel_ + lineHalf), endPixel_ + 1};
    }
}

void TCustomChartAxis::DrawLabelText(QPainter& painter, int position, const QString& text) {
    const QFontMetrics& metrics = Metrics();
    const int width = metrics.horizontalAdvance(text);
    const int height = TextHeight();
    int left = 0;
    int top = 0;
    if (horizontal_) {
        left = position - width / 2;
        top = otherSide_ ? labelsPixel_ - height : labelsPixel_;
    } else {
        left = otherSide_ ? labelsPixel_ : labelsPixel_ - width;
        top = position - height / 2;
    }
    painter.drawText(left, top + TextAscent(), text);
}

void TCustomChartAxis::ProduceLabel(QPainter& painter, double value, const QString& text) {
    const int position = CalcPosValue(value);
    if (!labelsOnAxis_ && !(position > startPixel_ && position < endPixel_)) {
        return;
    }
    const bool roomForTick = tickPositions_.size() < kMaxTicks;
    if (!tickOnLabelsOnly_ && roomForTick) {
        tickPositions_.push_back(position);
    }
    if (labels_) {
        if (tickOnLabelsOnly_ && roomForTick) {
            tickPositions_.push_back(position);
        }
        DrawLabelText(painter, position, text);
        lastLabels_.push_back({value, position, text});
    }
}

void TCustomChartAxis::DrawTickSet(QPainter& painter, const std::vector<int>& positions,
                                   const TChartPen& pen, int length, bool inner) {
    if (!pen.Draws() || length == 0) {
        return;
    }
    // Outward: down for the bottom axis, up for the top, left for the left, right for the right.
    int outward = horizontal_ ? (otherSide_ ? -1 : 1) : (otherSide_ ? 1 : -1);
    if (inner) {
        outward = -outward;
    }
    const int from = axisLinePixel_ + outward;
    const int to = from + outward * length;
    for (const int t : positions) {
        DrawStraightLine(painter, pen, !horizontal_, t, from, to);
    }
}

void TCustomChartAxis::DrawGridSet(QPainter& painter, const std::vector<int>& positions,
                                   const TChartPen& pen, const chart::TPixelRect& plot) {
    if (!pen.Draws()) {
        return;
    }
    for (const int t : positions) {
        if (horizontal_) {
            DrawStraightLine(painter, pen, false, t, plot.top, plot.bottom);
        } else {
            DrawStraightLine(painter, pen, true, t, plot.left, plot.right);
        }
    }
}

void TCustomChartAxis::Draw(QPainter& painter, const chart::TPixelRect& plot, TAxisLabelStyle style,
                            const std::vector<std::pair<double, QString>>& textLabels) {
    tickPositions_.clear();
    lastLabels_.clear();

    // 1. Labels, filling the tick list.
    lastStep_ = CalcLabelStep(Length());
    painter.setFont(labelsFont_);
    painter.setPen(ChartColorToQColor(labelsFontColor_));
    painter.setBackgroundMode(Qt::TransparentMode);
    if (style == talValue) {
        for (const double value :
             chart::LabelValues(minimum_, maximum_, lastStep_, roundFirstLabel_)) {
            ProduceLabel(painter, value, LabelText(value));
        }
    } else if (style == talText || style == talMark) {
        for (const auto& [value, text] : textLabels) {
            ProduceLabel(painter, value, text);
        }
    }

    // 2. Axis line.
    DrawStraightLine(painter, axisPen_, horizontal_, axisLinePixel_, startPixel_, endPixel_);
    // 3. Major ticks outside the axis.
    DrawTickSet(painter, tickPositions_, ticks_, tickLength_, false);
    // 4. Grid, on the ticks or between them.
    DrawGridSet(painter,
                gridCentered_ ? chart::CentredGridPositions(tickPositions_) : tickPositions_, grid_,
                plot);
    // 5. Inner ticks.
    DrawTickSet(painter, tickPositions_, ticksInner_, tickInnerLength_, true);
    // 6. and 7. Minor ticks and minor grid, strictly inside the span.
    if (!tickPositions_.empty() && (minorTicks_.Draws() || minorGrid_.Draws())) {
        std::vector<int> minor;
        for (const int position : chart::MinorTickPositions(tickPositions_, minorTickCount_)) {
            if (position > startPixel_ && position < endPixel_) {
                minor.push_back(position);
            }
        }
        DrawTickSet(painter, minor, minorTicks_, minorTickLength_, false);
        DrawGridSet(painter, minor, minorGrid_, plot);
    }
}

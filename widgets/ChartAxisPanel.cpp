#include "widgets/ChartAxisPanel.h"

#include "platform/base/Change.h"

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

TCustomAxisPanel::TCustomAxisPanel(QWidget* parent)
    : TCustomPanel(parent), bottomAxis_(std::make_unique<TChartAxis>(this, true, false)),
      topAxis_(std::make_unique<TChartAxis>(this, true, true)),
      leftAxis_(std::make_unique<TChartAxis>(this, false, false)),
      rightAxis_(std::make_unique<TChartAxis>(this, false, true)),
      depthAxis_(std::make_unique<TChartAxis>(this, false, false)) {
    // Every paint copies the whole image: no background erase, no system background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    depthAxis_->SetVisible(false);
    showTimer_.setSingleShot(true);
    connect(&showTimer_, &QTimer::timeout, this, &TCustomAxisPanel::ShowDataChange);
}

TCustomAxisPanel::~TCustomAxisPanel() {
    destroying_ = true;
}

std::array<TChartAxis*, 5> TCustomAxisPanel::AxesList() const {
    return {bottomAxis_.get(), topAxis_.get(), leftAxis_.get(), rightAxis_.get(), depthAxis_.get()};
}

TChartSeries& TCustomAxisPanel::AddSeries(std::unique_ptr<TChartSeries> series) {
    if (!series) {
        throw EInvalidOperation("No series to add");
    }
    series->SetParentChart(this);
    series_.push_back(std::move(series));
    RequestRepaint();
    return *series_.back();
}

TChartAxis& TCustomAxisPanel::HorizAxisOf(const TChartSeries& series) const {
    return series.HorizAxis() == aTopAxis ? *topAxis_ : *bottomAxis_;
}

TChartAxis& TCustomAxisPanel::VertAxisOf(const TChartSeries& series) const {
    return series.VertAxis() == aRightAxis ? *rightAxis_ : *leftAxis_;
}

bool TCustomAxisPanel::SeriesUses(const TChartSeries& series, const TChartAxis& axis) const {
    return &HorizAxisOf(series) == &axis || &VertAxisOf(series) == &axis;
}

void TCustomAxisPanel::SetView3D(bool view3D) {
    if (base::Change(view3D_, view3D)) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::SetAxisVisible(bool visible) {
    if (base::Change(axisVisible_, visible)) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::SetClipPoints(bool clip) {
    if (base::Change(clipPoints_, clip)) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::SetMarginLeft(int percent) {
    if (base::Change(marginLeft_, percent)) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::SetMarginTop(int percent) {
    if (base::Change(marginTop_, percent)) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::SetMarginRight(int percent) {
    if (base::Change(marginRight_, percent)) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::SetMarginBottom(int percent) {
    if (base::Change(marginBottom_, percent)) {
        RequestRepaint();
    }
}

void TCustomAxisPanel::RequestRepaint() {
    staticDirty_ = true;
    dirty_ = true;
    if (!constructing_ && !destroying_) {
        update();
    }
}

void TCustomAxisPanel::RequestDataRepaint() {
    dirty_ = true;
    if (constructing_ || destroying_ || dataChangePending_) {
        return;
    }
    if (!FrameDue()) {
        // The timer is set a whole period ahead: in a steady stream a later change finds the
        // frame due first, so the timer costs no wake-up of its own.
        if (!showTimer_.isActive()) {
            showTimer_.start(kFramePeriod);
        }
        return;
    }
    dataChangePending_ = true;
    QMetaObject::invokeMethod(this, &TCustomAxisPanel::ShowDataChange, Qt::QueuedConnection);
}

bool TCustomAxisPanel::FrameDue() const {
    // A few milliseconds of slack, so that a change arriving a little early is not put off by a
    // whole sample.
    constexpr int kSlack = 5;
    return !lastShown_.isValid() || lastShown_.elapsed() >= kFramePeriod - kSlack;
}

void TCustomAxisPanel::ShowDataChange() {
    dataChangePending_ = false;
    showTimer_.stop();
    if (!dirty_ || !isVisible()) {
        return; // a hidden chart catches up at its next paint
    }
    lastShown_.start();
    const QRect changed = UpdateOffscreenImage();
    if (!changed.isEmpty()) {
        // The requests are already gathered: paint at once rather than post one more event.
        repaint(changed);
    }
}

bool TCustomAxisPanel::IsAxisDrawn(const TChartAxis& axis) const {
    if (!axisVisible_ || !axis.Visible() || &axis == depthAxis_.get()) {
        return false;
    }
    return std::any_of(series_.begin(), series_.end(), [&](const auto& series) {
        return series->Active() && SeriesUses(*series, axis);
    });
}

TAxisLabelStyle TCustomAxisPanel::EffectiveLabelStyle(const TChartAxis& axis) const {
    if (axis.LabelStyle() != talAuto) {
        return axis.LabelStyle();
    }
    bool used = false;
    for (const auto& series : series_) {
        if (!series->Active() || !SeriesUses(*series, axis)) {
            continue;
        }
        used = true;
        if (!series->Label(0).isEmpty()) {
            return talText;
        }
    }
    return used ? talValue : talNone;
}

std::vector<std::pair<double, QString>> TCustomAxisPanel::TextLabels(const TChartAxis& axis) const {
    std::vector<std::pair<double, QString>> labels;
    for (const auto& series : series_) {
        if (!series->Active() || !SeriesUses(*series, axis)) {
            continue;
        }
        const TChartValueList& values = axis.Horizontal() ? series->XValues() : series->YValues();
        for (int i = 0; i < series->Count(); ++i) {
            QString text = series->Label(i);
            if (!text.isEmpty()) {
                labels.emplace_back(values.Value(i), std::move(text));
            }
        }
    }
    return labels;
}

void TCustomAxisPanel::AdjustAxisRanges() {
    for (TChartAxis* axis : AxesList()) {
        bool hasData = false;
        double low = 0.0;
        double high = 0.0;
        for (const auto& series : series_) {
            if (!series->Active() || !SeriesUses(*series, *axis) || series->Count() == 0) {
                continue;
            }
            const TChartValueList& values =
                axis->Horizontal() ? series->XValues() : series->YValues();
            const double seriesLow = values.MinValue();
            const double seriesHigh = values.MaxValue();
            low = hasData ? std::min(low, seriesLow) : seriesLow;
            high = hasData ? std::max(high, seriesHigh) : seriesHigh;
            hasData = true;
        }
        axis->AdjustAutomaticRange(hasData, low, high);
    }
}

void TCustomAxisPanel::DrawTitles(QPainter&, chart::TPixelRect&) {}

void TCustomAxisPanel::DrawBackWall(QPainter&, const chart::TPixelRect&) {}

TCustomAxisPanel::TDataLayout TCustomAxisPanel::CurrentDataLayout() const {
    TDataLayout layout;
    const std::array<TChartAxis*, 5> axes = AxesList();
    for (std::size_t i = 0; i < axes.size(); ++i) {
        layout.ranges[2 * i] = axes[i]->Minimum();
        layout.ranges[2 * i + 1] = axes[i]->Maximum();
        layout.drawn[i] = IsAxisDrawn(*axes[i]);
        if (!layout.drawn[i]) {
            continue;
        }
        layout.styles[i] = EffectiveLabelStyle(*axes[i]);
        if (layout.styles[i] == talText || layout.styles[i] == talMark) {
            layout.textLabels[i] = TextLabels(*axes[i]);
        }
    }
    return layout;
}

void TCustomAxisPanel::RedrawStaticLayer(const TDataLayout& layout) {
    QPainter painter(&staticLayer_);
    const int width = staticLayer_.width();
    const int height = staticLayer_.height();

    chart::TPixelRect plot = chart::PlotRectFirstCut(width, height, BorderWidth(), marginLeft_,
                                                     marginTop_, marginRight_, marginBottom_);
    painter.fillRect(0, 0, width, height, ColorToQColor(Color()));
    DrawPanelFrame(painter, QRect(0, 0, width, height));
    DrawTitles(painter, plot);

    // Layout: each drawn axis takes its bands in list order, then the spans.
    const std::array<TChartAxis*, 5> axes = AxesList();
    for (std::size_t i = 0; i < axes.size(); ++i) {
        if (!layout.drawn[i]) {
            continue;
        }
        std::vector<QString> texts;
        for (const auto& label : layout.textLabels[i]) {
            texts.push_back(label.second);
        }
        axes[i]->TakeBand(plot, layout.styles[i], texts);
    }
    for (TChartAxis* axis : axes) {
        axis->CalcSpan(plot);
    }
    chartRect_ = plot;

    DrawBackWall(painter, plot);
    for (std::size_t i = 0; i < axes.size(); ++i) {
        if (layout.drawn[i]) {
            axes[i]->Draw(painter, plot, layout.styles[i], layout.textLabels[i]);
        }
    }
    ++staticRedrawCount_;
}

QRect TCustomAxisPanel::Redraw() {
    if (staticLayer_.size() != size()) {
        staticLayer_ = QImage(size(), QImage::Format_RGB32);
        staticDirty_ = true;
    }
    if (staticLayer_.isNull()) {
        image_ = QImage();
        drawnStrokes_.clear();
        return {}; // an empty control has nothing to draw
    }
    AdjustAxisRanges();
    TDataLayout layout = CurrentDataLayout();
    bool full = image_.size() != staticLayer_.size();
    if (staticDirty_ || !(layout == staticLayout_)) {
        RedrawStaticLayer(layout);
        staticLayout_ = std::move(layout);
        staticDirty_ = false;
        full = true;
    }

    strokes_.clear();
    for (const auto& series : series_) {
        if (series->Active()) {
            series->CalcStrokes(HorizAxisOf(*series), VertAxisOf(*series), chartRect_, strokes_);
        }
    }
    // What the image shows is kept when the strokes now begin with exactly those it shows:
    // painting only the rest over it then gives the pixels of a full redraw.
    full = full || strokes_.size() < drawnStrokes_.size() ||
           !std::equal(drawnStrokes_.begin(), drawnStrokes_.end(), strokes_.begin());
    QRect changed;
    if (full) {
        if (image_.size() == staticLayer_.size()) {
            std::memcpy(image_.bits(), staticLayer_.constBits(),
                        static_cast<std::size_t>(staticLayer_.sizeInBytes()));
        } else {
            image_ = staticLayer_.copy();
        }
        QPainter painter(&image_);
        DrawStrokes(painter, strokes_, chartRect_, clipPoints_);
        changed = rect();
    } else {
        const std::span<const TSeriesStroke> added(
            strokes_.begin() + static_cast<std::ptrdiff_t>(drawnStrokes_.size()), strokes_.end());
        if (!added.empty()) {
            QPainter painter(&image_);
            DrawStrokes(painter, added, chartRect_, clipPoints_);
        }
        for (const TSeriesStroke& stroke : added) {
            changed |= StrokeBounds(stroke);
        }
        const QRect limit = clipPoints_ ? QRect(chartRect_.left, chartRect_.top, chartRect_.Width(),
                                                chartRect_.Height())
                                        : rect();
        changed &= limit;
        ++incrementalRedrawCount_;
    }
    drawnStrokes_.swap(strokes_);
    ++redrawCount_;
    return changed;
}

QRect TCustomAxisPanel::UpdateOffscreenImage() {
    if (!dirty_ && image_.size() == size()) {
        return {};
    }
    const QRect changed = Redraw();
    dirty_ = false;
    return changed;
}

void TCustomAxisPanel::paintEvent(QPaintEvent* event) {
    const QRegion changed = UpdateOffscreenImage();
    QPainter painter(this);
    // Only the update region goes to the screen.
    for (const QRect& part : event->region()) {
        painter.drawImage(part.topLeft(), image_, part);
    }
    if (!xorBands_.empty()) {
        // The rubber band: combined with what is on the screen by not-xor, so drawing the same
        // outline again restores the pixels.
        QColor bandColor = ColorToQColor(Color());
        if (bandColor == QColor(Qt::white)) {
            bandColor = Qt::black;
        }
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        for (const QRect& band : xorBands_) {
            // Four disjoint pieces so that no pixel is combined twice.
            painter.fillRect(band.left(), band.top(), band.width(), 1, bandColor);
            if (band.height() > 1) {
                painter.fillRect(band.left(), band.bottom(), band.width(), 1, bandColor);
            }
            if (band.height() > 2) {
                painter.fillRect(band.left(), band.top() + 1, 1, band.height() - 2, bandColor);
                if (band.width() > 1) {
                    painter.fillRect(band.right(), band.top() + 1, 1, band.height() - 2, bandColor);
                }
            }
        }
    }
    const QRegion unseen = changed - event->region();
    if (!unseen.isEmpty()) {
        update(unseen); // the image changed beyond this paint's region: show the rest as well
    }
}

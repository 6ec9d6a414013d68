#pragma once

// The panel with axes and series: the chart's layout and complete 2D painting into an
// off-screen image, and the mouse zoom, panning and wheel shift.

#include "widgets/ChartAxis.h"
#include "widgets/ChartNumerics.h"
#include "widgets/ChartSeries.h"
#include "widgets/CustomPanel.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

enum TPanningMode : std::uint8_t { pmNone, pmHorizontal, pmVertical, pmBoth };

class TCustomAxisPanel : public TCustomPanel {
    Q_OBJECT
public:
    // Zoom rectangles smaller than this in either direction do nothing.
    static constexpr int kMinimumZoomPixels = 16;
    // Share of the vertical range one wheel step shifts.
    static constexpr double kWheelShift = 0.03;
    // Data changes reach the screen at most about this often (ms): a screen refreshes at
    // 60 Hz, while the preview adds a point every 10 ms, and every update costs a round of the
    // window system's painting and flushing whatever its size. A change comes out within one
    // period also when no further change follows.
    static constexpr int kFramePeriod = 30;

    explicit TCustomAxisPanel(QWidget* parent = nullptr);
    ~TCustomAxisPanel() override;

    // Axes.
    TChartAxis& BottomAxis() { return *bottomAxis_; }
    TChartAxis& TopAxis() { return *topAxis_; }
    TChartAxis& LeftAxis() { return *leftAxis_; }
    TChartAxis& RightAxis() { return *rightAxis_; }
    TChartAxis& DepthAxis() { return *depthAxis_; }
    // Bottom, top, left, right, depth.
    std::array<TChartAxis*, 5> AxesList() const;

    // Series. The chart owns the series it is given.
    TChartSeries& AddSeries(std::unique_ptr<TChartSeries> series);
    template <class Series> Series& AddSeries() {
        auto series = std::make_unique<Series>();
        Series& result = *series;
        AddSeries(std::move(series));
        return result;
    }
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    TChartSeries& Series(int index) { return *series_.at(static_cast<std::size_t>(index)); }
    // The axis a series is plotted against.
    TChartAxis& HorizAxisOf(const TChartSeries& series) const;
    TChartAxis& VertAxisOf(const TChartSeries& series) const;

    // Settings.
    bool View3D() const { return view3D_; }
    void SetView3D(bool view3D);
    bool AxisVisible() const { return axisVisible_; }
    void SetAxisVisible(bool visible);
    bool ClipPoints() const { return clipPoints_; }
    void SetClipPoints(bool clip);
    int MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(int percent);
    int MarginTop() const { return marginTop_; }
    void SetMarginTop(int percent);
    int MarginRight() const { return marginRight_; }
    void SetMarginRight(int percent);
    int MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(int percent);
    bool AllowZoom() const { return allowZoom_; }
    void SetAllowZoom(bool allow) { allowZoom_ = allow; }
    TPanningMode AllowPanning() const { return allowPanning_; }
    void SetAllowPanning(TPanningMode mode) { allowPanning_ = mode; }

    // While loading stored settings the axes take their values unchecked.
    bool Loading() const { return loading_; }
    void SetLoading(bool loading) { loading_ = loading; }
    bool Destroying() const { return destroying_; }

    // Marks the off-screen image dirty and invalidates the whole control; many requests before
    // the next paint cost one redraw. Suppressed while the chart is being constructed.
    void RequestRepaint() override;
    // The same for a change of series data only. Requests are gathered and shown at most once
    // per frame period: when the static layer (panel, back wall, axes, grid, labels) stays as it
    // is and the series only gained strokes at the end, just those are painted into the image
    // and only the rectangle they touch is repainted; otherwise the image is redrawn and the
    // whole control repainted.
    void RequestDataRepaint();

    // An axis is drawn when axes are visible, it is visible and an active series uses it.
    bool IsAxisDrawn(const TChartAxis& axis) const;
    // The label style an axis draws with (talAuto resolved).
    TAxisLabelStyle EffectiveLabelStyle(const TChartAxis& axis) const;

    // The off-screen image and how many times it was brought up to date.
    const QImage& OffscreenImage() const { return image_; }
    int RedrawCount() const { return redrawCount_; }
    // How many of those only added the new strokes of a series.
    int IncrementalRedrawCount() const { return incrementalRedrawCount_; }
    // Brings the off-screen image up to date the way a paint does, without showing it. Returns
    // the part of the control that changed: all of it after a redraw, the bounds of the new
    // strokes (clipped like them) after an incremental update, nothing when it was up to date.
    QRect UpdateOffscreenImage();

    // Zoom and panning.
    // Zooms into the pixels from rect's top-left corner to (left + width, top + height): the
    // horizontal axes get the values at its left and right edges, the vertical ones those at
    // its bottom and top edges.
    void ZoomRect(const QRect& rect);
    // Restores the scales saved by the first zoom or panning move, if they are not in force.
    void UndoZoom();

protected:
    // Ends construction: from now on repaint requests invalidate the control.
    void EndConstruction() { constructing_ = false; }
    void BeginDestruction() { destroying_ = true; }

    // Titles and legend; they may take space from the plot rectangle.
    virtual void DrawTitles(QPainter& painter, chart::TPixelRect& plot);
    // The frame behind the plot.
    virtual void DrawBackWall(QPainter& painter, const chart::TPixelRect& plot);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend struct TChartProbe;

    struct TDrag {
        bool active = false;
        QPoint start;
        QPoint end;
    };
    struct TSavedScale {
        bool automatic = true;
        bool automaticMinimum = true;
        bool automaticMaximum = true;
        double minimum = 0.0;
        double maximum = 0.0;
    };

    QRect Redraw();
    // True when the last data change shown is a frame period old.
    bool FrameDue() const;
    // Runs after data changes, once per event loop pass or from the timer: brings the image up
    // to date and repaints what changed.
    void ShowDataChange();
    void AdjustAxisRanges();
    std::vector<std::pair<double, QString>> TextLabels(const TChartAxis& axis) const;
    bool SeriesUses(const TChartSeries& series, const TChartAxis& axis) const;

    bool PressQualifies(QPoint point) const;
    void SaveScales();
    // Shows or takes back the not-xor outline of a rectangle: the same outline twice cancels.
    void ToggleRubberBand(const QRect& rect);
    QRect ZoomBand() const;
    void EndZoomDrag(QPoint point);
    void PanTo(QPoint point);
    void ShiftVertical(double fraction);

    std::unique_ptr<TChartAxis> bottomAxis_;
    std::unique_ptr<TChartAxis> topAxis_;
    std::unique_ptr<TChartAxis> leftAxis_;
    std::unique_ptr<TChartAxis> rightAxis_;
    std::unique_ptr<TChartAxis> depthAxis_;
    std::vector<std::unique_ptr<TChartSeries>> series_;

    bool view3D_ = true;
    bool axisVisible_ = true;
    bool clipPoints_ = true;
    int marginLeft_ = 3;
    int marginTop_ = 4;
    int marginRight_ = 3;
    int marginBottom_ = 4;
    bool allowZoom_ = true;
    TPanningMode allowPanning_ = pmBoth;

    bool constructing_ = true;
    bool destroying_ = false;
    bool loading_ = false;

    // What of the static layer depends on the series data.
    struct TDataLayout {
        std::array<bool, 5> drawn{};
        std::array<TAxisLabelStyle, 5> styles{};
        std::array<std::vector<std::pair<double, QString>>, 5> textLabels;
        std::array<double, 10> ranges{};
        bool operator==(const TDataLayout&) const = default;
    };
    TDataLayout CurrentDataLayout() const;
    void RedrawStaticLayer(const TDataLayout& layout);

    QImage image_;
    QImage staticLayer_;
    bool dirty_ = true;
    bool staticDirty_ = true;
    bool dataChangePending_ = false;
    QElapsedTimer lastShown_;
    QTimer showTimer_;
    TDataLayout staticLayout_;
    // The strokes the image shows, and those of the series now.
    std::vector<TSeriesStroke> drawnStrokes_;
    std::vector<TSeriesStroke> strokes_;
    int redrawCount_ = 0;
    int incrementalRedrawCount_ = 0;
    int staticRedrawCount_ = 0;
    chart::TPixelRect chartRect_;

    TDrag zoom_;
    TDrag panning_;
    std::array<TSavedScale, 4> savedScales_{};
    bool scalesInForce_ = true;
    std::vector<QRect> xorBands_;
    int wheelRemainder_ = 0;
};

#pragma once

// The chart's data: value lists and the line series with one colour and one label per point.

#include "widgets/ChartNumerics.h"
#include "widgets/ChartPens.h"

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class QPainter;
class TCustomAxisPanel;
class TCustomChartAxis;

using chart::loAscending;
using chart::loDescending;
using chart::loNone;
using chart::TChartListOrder;

// An ordered sequence of doubles. Reading a value gives the stored value times `Multiplier`.
class TChartValueList {
public:
    TChartValueList(QString name, TChartListOrder order, TChartNotify onChange = {})
        : onChange_(std::move(onChange)), name_(std::move(name)), order_(order) {}

    QString Name() const { return name_; }
    void SetName(const QString& name) { name_ = name; }
    TChartListOrder Order() const { return order_; }
    void SetOrder(TChartListOrder order);
    double Multiplier() const { return multiplier_; }
    void SetMultiplier(double multiplier);
    bool DateTime() const { return dateTime_; }
    void SetDateTime(bool dateTime) { dateTime_ = dateTime; }

    int Count() const { return static_cast<int>(values_.size()); }
    double Value(int index) const {
        return values_.at(static_cast<std::size_t>(index)) * multiplier_;
    }
    double operator[](int index) const { return Value(index); }
    // The stored values, without the multiplier.
    const std::vector<double>& Stored() const { return values_; }
    // Smallest and largest value (times the multiplier); 0.0 for an empty list.
    double MinValue() const;
    double MaxValue() const;

    // Inserts by the list's order and returns the index the value went to.
    int AddOrdered(double value);
    void Insert(int index, double value);
    void Clear() { values_.clear(); }

private:
    TChartNotify onChange_;
    QString name_;
    TChartListOrder order_;
    double multiplier_ = 1.0;
    bool dateTime_ = false;
    std::vector<double> values_;
};

enum THorizAxis : std::uint8_t { aTopAxis, aBottomAxis };
enum TVertAxis : std::uint8_t { aLeftAxis, aRightAxis };

// One straight piece of the series line, in control pixels, in its point's colour.
struct TSeriesSegment {
    QPoint from;
    QPoint to;
    TColor color = clBlack;
    bool operator==(const TSeriesSegment&) const = default;
};

// One straight piece of line as the chart paints it: a segment with its pen's colour and width.
// The same strokes painted in the same order over the same picture give the same pixels, which
// is what lets the chart paint only the strokes a new point adds.
struct TSeriesStroke {
    QPoint from;
    QPoint to;
    QRgb color = 0;
    int width = 1;
    bool operator==(const TSeriesStroke&) const = default;
};

// Paints the strokes in order, clipped to the plot rectangle when `clip` is set.
void DrawStrokes(QPainter& painter, std::span<const TSeriesStroke> strokes,
                 const chart::TPixelRect& plot, bool clip);
// The pixels a stroke can touch: its end points' bounds widened by the pen's width.
QRect StrokeBounds(const TSeriesStroke& stroke);

class TChartSeries {
public:
    TChartSeries();
    virtual ~TChartSeries() = default;
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    TCustomAxisPanel* ParentChart() const { return chart_; }
    // Called by the chart that takes the series into its list.
    void SetParentChart(TCustomAxisPanel* chart) { chart_ = chart; }

    bool Active() const { return active_; }
    void SetActive(bool active);
    TColor SeriesColor() const { return seriesColor_; }
    void SetSeriesColor(TColor color);
    bool ColorEachPoint() const { return colorEachPoint_; }
    void SetColorEachPoint(bool colorEachPoint);
    THorizAxis HorizAxis() const { return horizAxis_; }
    void SetHorizAxis(THorizAxis axis);
    TVertAxis VertAxis() const { return vertAxis_; }
    void SetVertAxis(TVertAxis axis);
    QString ValueFormat() const { return valueFormat_; }
    void SetValueFormat(const QString& format) { valueFormat_ = format; }

    TChartValueList& XValues() { return xValues_; }
    const TChartValueList& XValues() const { return xValues_; }
    TChartValueList& YValues() { return yValues_; }
    const TChartValueList& YValues() const { return yValues_; }

    // Stores a point at the index its x takes in the ordered x list and returns that index.
    int InsertPoint(double x, double y, const QString& label, TColor color);
    // Removes every point.
    void ClearPoints();
    int Count() const { return xValues_.Count(); }
    // The colour point `index` is drawn in: its own, or `SeriesColor` for the default-colour
    // value or an index beyond the colour list.
    TColor ValueColor(int index) const;
    // The label of a point; empty when it has none.
    QString Label(int index) const;

    // Visible points of the last paint (-1 when none).
    int FirstValueIndex() const { return firstValueIndex_; }
    int LastValueIndex() const { return lastValueIndex_; }

    // Appends the strokes that draw the series against its axes inside the plot rectangle, in
    // painting order, and records the visible range.
    virtual void CalcStrokes(const TCustomChartAxis& horizAxis, const TCustomChartAxis& vertAxis,
                             const chart::TPixelRect& plot,
                             std::vector<TSeriesStroke>& strokes) = 0;
    // True when (x, y) lies on what the last paint drew.
    virtual bool Clicked(int x, int y) const = 0;

protected:
    void RequestRepaint() const;
    // A change of the points only.
    void RequestDataRepaint() const;
    void SetVisibleRange(const chart::TVisibleRange& range) {
        firstValueIndex_ = range.first;
        lastValueIndex_ = range.last;
    }

private:
    TCustomAxisPanel* chart_ = nullptr;
    bool active_ = true;
    TColor seriesColor_ = clDefaultColor;
    bool colorEachPoint_ = false;
    THorizAxis horizAxis_ = aBottomAxis;
    TVertAxis vertAxis_ = aLeftAxis;
    QString valueFormat_ = QStringLiteral("#,##0.###");
    TChartValueList xValues_;
    TChartValueList yValues_;
    std::vector<TColor> colors_;
    std::vector<std::optional<QString>> labels_;
    int firstValueIndex_ = -1;
    int lastValueIndex_ = -1;
};

// A series drawn as a line through its points.
class TCustomSeries : public TChartSeries {
public:
    TCustomSeries();

    TChartPen& LinePen() { return linePen_; }
    const TChartPen& LinePen() const { return linePen_; }
    bool Stairs() const { return stairs_; }
    void SetStairs(bool stairs);
    TSeriesPointer& Pointer() { return pointer_; }
    const TSeriesPointer& Pointer() const { return pointer_; }

    // The line pieces for the visible points, each in the colour of the point it leads to;
    // also records the visible range. The result stays valid until the next call.
    const std::vector<TSeriesSegment>& CalcSegments(const TCustomChartAxis& horizAxis,
                                                    const TCustomChartAxis& vertAxis,
                                                    const chart::TPixelRect& plot);

    void CalcStrokes(const TCustomChartAxis& horizAxis, const TCustomChartAxis& vertAxis,
                     const chart::TPixelRect& plot, std::vector<TSeriesStroke>& strokes) override;
    bool Clicked(int x, int y) const override;

protected:
    TSeriesPointer pointer_;

private:
    friend struct TChartProbe;

    TChartPen linePen_;
    bool stairs_ = false;
    std::vector<TSeriesSegment> lastSegments_;
};

class TLineSeries : public TCustomSeries {
public:
    TLineSeries();
};

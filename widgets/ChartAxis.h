#pragma once

// An axis of the chart: its range (automatic or fixed), label, tick and grid settings, and the
// per-paint state (pixel span, label anchor, tick list) the chart computes while painting.

#include "platform/ui/Exception.h"
#include "widgets/ChartNumerics.h"
#include "widgets/ChartPens.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class QPainter;
class TCustomAxisPanel;

// Raised for an axis value that is not valid.
class AxisException : public Exception {
public:
    using Exception::Exception;
};

enum TAxisLabelStyle : std::uint8_t { talAuto, talNone, talValue, talMark, talText };

// An axis caption; never drawn while empty (drawn captions are not part of this chart).
class TChartAxisTitle {
public:
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption) { caption_ = caption; }

private:
    QString caption_;
};

// One label the axis produced in the last paint: its value, its position and its text.
struct TAxisLabel {
    double value = 0.0;
    int position = 0;
    QString text;
};

class TCustomChartAxis {
public:
    static constexpr std::size_t kMaxTicks = 2000;

    // `chart` receives the repaint requests; it may be null for an axis used on its own.
    TCustomChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide);
    virtual ~TCustomChartAxis() = default;
    TCustomChartAxis(const TCustomChartAxis&) = delete;
    TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

    bool Horizontal() const { return horizontal_; }
    bool OtherSide() const { return otherSide_; }

    // Range.
    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool automatic);
    bool AutomaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool automatic);
    bool AutomaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool automatic);
    double Minimum() const { return minimum_; }
    void SetMinimum(double value);
    double Maximum() const { return maximum_; }
    void SetMaximum(double value);
    void SetAxisRange(double minimum, double maximum);
    // Stores the three automatic flags as they are, with no repaint request (restoring a
    // saved scale).
    void SetAutomaticFlags(bool automatic, bool automaticMinimum, bool automaticMaximum);
    double Increment() const { return increment_; }
    void SetIncrement(double increment);

    // Labels.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Labels() const { return labels_; }
    void SetLabels(bool labels);
    const QFont& LabelsFont() const { return labelsFont_; }
    TColor LabelsFontColor() const { return labelsFontColor_; }
    int LabelsSeparation() const { return labelsSeparation_; }
    void SetLabelsSeparation(int percent);
    bool LabelsOnAxis() const { return labelsOnAxis_; }
    void SetLabelsOnAxis(bool onAxis);
    TAxisLabelStyle LabelStyle() const { return labelStyle_; }
    int LabelsAngle() const { return labelsAngle_; }
    int LabelsSize() const { return labelsSize_; }
    void SetLabelsSize(int pixels);
    QString AxisValuesFormat() const { return axisValuesFormat_; }
    bool RoundFirstLabel() const { return roundFirstLabel_; }
    void SetRoundFirstLabel(bool round);
    bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
    void SetTickOnLabelsOnly(bool onLabelsOnly);

    // Lines.
    TChartAxisPen& Axis() { return axisPen_; }
    const TChartAxisPen& Axis() const { return axisPen_; }
    TDarkGrayPen& Ticks() { return ticks_; }
    const TDarkGrayPen& Ticks() const { return ticks_; }
    int TickLength() const { return tickLength_; }
    void SetTickLength(int pixels);
    TDarkGrayPen& TicksInner() { return ticksInner_; }
    const TDarkGrayPen& TicksInner() const { return ticksInner_; }
    int TickInnerLength() const { return tickInnerLength_; }
    void SetTickInnerLength(int pixels);
    TDarkGrayPen& MinorTicks() { return minorTicks_; }
    const TDarkGrayPen& MinorTicks() const { return minorTicks_; }
    int MinorTickLength() const { return minorTickLength_; }
    int MinorTickCount() const { return minorTickCount_; }
    TDottedGrayPen& Grid() { return grid_; }
    const TDottedGrayPen& Grid() const { return grid_; }
    TChartHiddenPen& MinorGrid() { return minorGrid_; }
    const TChartHiddenPen& MinorGrid() const { return minorGrid_; }
    bool GridCentered() const { return gridCentered_; }
    void SetGridCentered(bool centered);
    // Fixed: only the non-inverted linear axis is drawn.
    bool Inverted() const { return inverted_; }
    bool Logarithmic() const { return logarithmic_; }
    double StartPosition() const { return startPosition_; }
    double EndPosition() const { return endPosition_; }
    double PositionPercent() const { return positionPercent_; }
    TChartAxisTitle& Title() { return title_; }

    // State computed by the last paint.
    int StartPixel() const { return startPixel_; }
    int EndPixel() const { return endPixel_; }
    int Length() const { return endPixel_ - startPixel_; }
    int Centre() const { return (startPixel_ + endPixel_) / 2; }
    int AxisLinePixel() const { return axisLinePixel_; }
    int LabelsPixel() const { return labelsPixel_; }
    // The area of the axis line, ticks and labels in the last paint (for the press test).
    const chart::TPixelRect& BandRect() const { return bandRect_; }

    // The mapping with the current range and the last paint's span.
    chart::TAxisScale Scale() const;
    int CalcPosValue(double value) const { return Scale().ValueToPixel(value); }
    double CalcPosPoint(int pixel) const { return Scale().PixelToValue(pixel); }

    // Height of a label line: the font's ascent and descent, each rounded up.
    int TextHeight() const;
    // The text of a value label.
    QString LabelText(double value) const;

    // Painting steps, called by the chart in its order.
    // Writes the automatic ends of the range (no repaint request).
    void AdjustAutomaticRange(bool hasData, double dataMinimum, double dataMaximum);
    // Takes the label and tick bands from the plot rectangle on the axis' side.
    void TakeBand(chart::TPixelRect& plot, TAxisLabelStyle style,
                  const std::vector<QString>& textLabels);
    // Sets the pixel span and the axis line from the final plot rectangle.
    void CalcSpan(const chart::TPixelRect& plot);
    // The label step for an axis length (the label size measured on the range's ends).
    double CalcLabelStep(int length) const;
    // Draws labels, axis line, ticks, grid, inner and minor ticks. `textLabels` are the
    // (value, text) pairs for text labels.
    void Draw(QPainter& painter, const chart::TPixelRect& plot, TAxisLabelStyle style,
              const std::vector<std::pair<double, QString>>& textLabels);

protected:
    void RequestRepaint() const;
    bool Loading() const;

private:
    friend struct TChartProbe;

    const QFontMetrics& Metrics() const;
    int LabelWidth(const QString& text) const;
    int TextAscent() const;
    void ProduceLabel(QPainter& painter, double value, const QString& text);
    void DrawLabelText(QPainter& painter, int position, const QString& text);
    void DrawTickSet(QPainter& painter, const std::vector<int>& positions, const TChartPen& pen,
                     int length, bool inner);
    void DrawGridSet(QPainter& painter, const std::vector<int>& positions, const TChartPen& pen,
                     const chart::TPixelRect& plot);

    TCustomAxisPanel* chart_;
    bool horizontal_;
    bool otherSide_;

    bool automatic_ = true;
    bool automaticMinimum_ = true;
    bool automaticMaximum_ = true;
    double minimum_ = 0.0;
    double maximum_ = 0.0;
    double increment_ = 0.0;

    bool visible_ = true;
    bool labels_ = true;
    const QFont labelsFont_;
    const TColor labelsFontColor_ = clBlack;
    int labelsSeparation_ = 10;
    bool labelsOnAxis_ = true;
    const TAxisLabelStyle labelStyle_ = talAuto;
    const int labelsAngle_ = 0;
    int labelsSize_ = 0;
    const QString axisValuesFormat_ = QStringLiteral("#,##0.###");
    bool roundFirstLabel_ = true;
    bool tickOnLabelsOnly_ = true;

    TChartAxisPen axisPen_;
    TDarkGrayPen ticks_;
    int tickLength_ = 4;
    TDarkGrayPen ticksInner_;
    int tickInnerLength_ = 0;
    TDarkGrayPen minorTicks_;
    const int minorTickLength_ = 2;
    const int minorTickCount_ = 3;
    TDottedGrayPen grid_;
    TChartHiddenPen minorGrid_;
    bool gridCentered_ = false;
    const bool inverted_ = false;
    const bool logarithmic_ = false;
    const double startPosition_ = 0.0;
    const double endPosition_ = 100.0;
    const double positionPercent_ = 0.0;
    TChartAxisTitle title_;

    mutable std::optional<QFontMetrics> metrics_;
    mutable int textAscent_ = 0;
    mutable int textHeight_ = 0;
    int startPixel_ = 0;
    int endPixel_ = 0;
    int axisLinePixel_ = 0;
    int labelsPixel_ = 0;
    int bandOuter_ = 0; // edges of the label and tick bands taken in the last layout
    int bandInner_ = 0;
    double lastStep_ = 0.0;
    chart::TPixelRect bandRect_;
    std::vector<int> tickPositions_;
    std::vector<TAxisLabel> lastLabels_;
};

class TChartAxis : public TCustomChartAxis {
public:
    using TCustomChartAxis::TCustomChartAxis;
};

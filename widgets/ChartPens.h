#pragma once

// Drawing attributes of the chart: pens, the brush, the back wall and the point markers.
// Every setter notifies the owner (which asks for a repaint) only on a real change.

#include "platform/ui/Graphics.h"

#include <QColor>
#include <cstdint>
#include <functional>

// Reserved colour values of the chart.
constexpr TColor clDefaultColor = 0x20000000; // the owner's colour applies
constexpr TColor clNone = 0x1FFFFFFF;         // no colour: a null point, not drawn

// The RGB of a chart colour; the default-colour value stands for `ownerColor`.
QColor ChartColorToQColor(TColor color, TColor ownerColor = clBlack);

using TChartNotify = std::function<void()>;

enum TPenStyle : std::uint8_t { psSolid, psDot, psClear };

class TChartPen {
public:
    explicit TChartPen(TChartNotify onChange = {}) : TChartPen(std::move(onChange), clBlack, 1) {}

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool SmallDots() const { return smallDots_; }
    void SetSmallDots(bool smallDots);

    // True when the pen draws anything at all.
    bool Draws() const { return visible_ && style_ != psClear && width_ > 0; }

protected:
    TChartPen(TChartNotify onChange, TColor color, int width, TPenStyle style = psSolid,
              bool visible = true)
        : onChange_(std::move(onChange)), color_(color), width_(width), style_(style),
          visible_(visible) {}

private:
    void Changed() const {
        if (onChange_) {
            onChange_();
        }
    }

    TChartNotify onChange_;
    TColor color_;
    int width_;
    TPenStyle style_;
    bool visible_;
    bool smallDots_ = false;
};

// Axis line: black, width 2.
class TChartAxisPen : public TChartPen {
public:
    explicit TChartAxisPen(TChartNotify onChange = {})
        : TChartPen(std::move(onChange), clBlack, 2) {}
};

// Ticks: gray, width 1.
class TDarkGrayPen : public TChartPen {
public:
    explicit TDarkGrayPen(TChartNotify onChange = {}) : TChartPen(std::move(onChange), clGray, 1) {}
};

// Grid: gray, dotted.
class TDottedGrayPen : public TChartPen {
public:
    explicit TDottedGrayPen(TChartNotify onChange = {})
        : TChartPen(std::move(onChange), clGray, 1, psDot) {}
};

// Minor grid: black, not visible.
class TChartHiddenPen : public TChartPen {
public:
    explicit TChartHiddenPen(TChartNotify onChange = {})
        : TChartPen(std::move(onChange), clBlack, 1, psSolid, false) {}
};

enum TBrushStyle : std::uint8_t { bsSolid, bsClear };

class TChartBrush {
public:
    explicit TChartBrush(TChartNotify onChange = {}, TBrushStyle style = bsSolid,
                         TColor color = clWhite)
        : onChange_(std::move(onChange)), style_(style), color_(color) {}

    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

private:
    TChartNotify onChange_;
    TBrushStyle style_;
    TColor color_;
};

// The frame behind the plot. The chart creates it with a clear brush.
class TChartWall {
public:
    explicit TChartWall(TChartNotify onChange = {});

    TChartPen& Pen() { return pen_; }
    const TChartPen& Pen() const { return pen_; }
    TChartBrush& Brush() { return brush_; }
    const TChartBrush& Brush() const { return brush_; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);

private:
    TChartNotify onChange_;
    TChartPen pen_;
    TChartBrush brush_;
    TColor color_ = clDefaultColor;
};

enum TSeriesPointerStyle : std::uint8_t {
    psRectangle,
    psCircle,
    psTriangle,
    psDownTriangle,
    psCross,
    psDiagCross,
    psStar,
    psDiamond,
    psSmallDot
};

// Point markers of a series. A line series keeps them hidden; hidden markers draw nothing and
// ask for no margins.
class TSeriesPointer {
public:
    explicit TSeriesPointer(TChartNotify onChange = {}, bool visible = true)
        : onChange_(std::move(onChange)), visible_(visible) {}

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    TSeriesPointerStyle Style() const { return style_; }
    void SetStyle(TSeriesPointerStyle style);
    int HorizSize() const { return horizSize_; }
    void SetHorizSize(int size);
    int VertSize() const { return vertSize_; }
    void SetVertSize(int size);
    bool InflateMargins() const { return inflateMargins_; }
    void SetInflateMargins(bool inflate);

private:
    void Changed() const {
        if (onChange_) {
            onChange_();
        }
    }

    TChartNotify onChange_;
    bool visible_;
    TSeriesPointerStyle style_ = psRectangle;
    int horizSize_ = 4;
    int vertSize_ = 4;
    bool inflateMargins_ = true;
};

class QPainter;

// Draws a horizontal or vertical line with a pen, the way the chart's ticks, grid and axis lines
// are drawn: from `from` towards `to`, `to` itself excluded, `fixed` being the row (horizontal)
// or column (vertical); a wider pen grows to both sides of `fixed`; a dotted pen sets every
// second pixel starting at `from` and leaves the gaps untouched. Draws nothing for a pen that
// does not draw.
void DrawStraightLine(QPainter& painter, const TChartPen& pen, bool horizontal, int fixed, int from,
                      int to);

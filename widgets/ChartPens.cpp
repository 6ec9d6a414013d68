#include "widgets/ChartPens.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace {

template <class T, class Notify> void Assign(T& field, T value, const Notify& changed) {
    if (field == value) {
        return;
    }
    field = value;
    changed();
}

} // namespace

QColor ChartColorToQColor(TColor color, TColor ownerColor) {
    if (color == clDefaultColor) {
        color = ownerColor == clDefaultColor ? clBlack : ownerColor;
    }
    return ColorToQColor(color);
}

void TChartPen::SetColor(TColor color) {
    Assign(color_, color, [this] { Changed(); });
}

void TChartPen::SetWidth(int width) {
    Assign(width_, width, [this] { Changed(); });
}

void TChartPen::SetStyle(TPenStyle style) {
    Assign(style_, style, [this] { Changed(); });
}

void TChartPen::SetVisible(bool visible) {
    Assign(visible_, visible, [this] { Changed(); });
}

void TChartPen::SetSmallDots(bool smallDots) {
    Assign(smallDots_, smallDots, [this] { Changed(); });
}

void TChartBrush::SetStyle(TBrushStyle style) {
    Assign(style_, style, [this] {
        if (onChange_) {
            onChange_();
        }
    });
}

void TChartBrush::SetColor(TColor color) {
    Assign(color_, color, [this] {
        if (onChange_) {
            onChange_();
        }
    });
}

TChartWall::TChartWall(TChartNotify onChange)
    : onChange_(onChange), pen_(onChange), brush_(onChange, bsClear) {}

void TChartWall::SetColor(TColor color) {
    Assign(color_, color, [this] {
        if (onChange_) {
            onChange_();
        }
    });
}

void TSeriesPointer::SetVisible(bool visible) {
    Assign(visible_, visible, [this] { Changed(); });
}

void TSeriesPointer::SetStyle(TSeriesPointerStyle style) {
    Assign(style_, style, [this] { Changed(); });
}

void TSeriesPointer::SetHorizSize(int size) {
    Assign(horizSize_, size, [this] { Changed(); });
}

void TSeriesPointer::SetVertSize(int size) {
    Assign(vertSize_, size, [this] { Changed(); });
}

void TSeriesPointer::SetInflateMargins(bool inflate) {
    Assign(inflateMargins_, inflate, [this] { Changed(); });
}

void DrawStraightLine(QPainter& painter, const TChartPen& pen, bool horizontal, int fixed, int from,
                      int to) {
    if (!pen.Draws() || from == to) {
        return;
    }
    const QColor color = ChartColorToQColor(pen.Color());
    const int width = pen.Width();
    const int across = fixed - width / 2;
    const int step = to > from ? 1 : -1;
    const int first = std::min(from, to - step); // the covered pixels, ascending
    const int last = std::max(from, to - step);
    if (pen.Style() == psSolid) {
        const int length = last - first + 1;
        if (horizontal) {
            painter.fillRect(first, across, length, width, color);
        } else {
            painter.fillRect(across, first, width, length, color);
        }
        return;
    }
    // Dots: one batch of points per line, every second pixel from the start.
    QPolygon dots;
    dots.reserve((last - first) / 2 + 1);
    for (int along = from; step > 0 ? along < to : along > to; along += 2 * step) {
        for (int offset = 0; offset < width; ++offset) {
            dots.append(horizontal ? QPoint(along, across + offset)
                                   : QPoint(across + offset, along));
        }
    }
    QPen dotPen(color, 1);
    dotPen.setCosmetic(true);
    painter.setPen(dotPen);
    painter.drawPoints(dots);
}

#include "widgets/ChartPens.h"

#include "platform/base/Change.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>

QColor ChartColorToQColor(TColor color, TColor ownerColor) {
    if (color == clDefaultColor) {
        color = ownerColor == clDefaultColor ? clBlack : ownerColor;
    }
    return ColorToQColor(color);
}

void TChartPen::SetColor(TColor color) {
    if (base::Change(color_, color)) {
        Changed();
    }
}

void TChartPen::SetWidth(int width) {
    if (base::Change(width_, width)) {
        Changed();
    }
}

void TChartPen::SetStyle(TPenStyle style) {
    if (base::Change(style_, style)) {
        Changed();
    }
}

void TChartPen::SetVisible(bool visible) {
    if (base::Change(visible_, visible)) {
        Changed();
    }
}

void TChartPen::SetSmallDots(bool smallDots) {
    if (base::Change(smallDots_, smallDots)) {
        Changed();
    }
}

void TChartBrush::SetStyle(TBrushStyle style) {
    if (base::Change(style_, style) && onChange_) {
        onChange_();
    }
}

void TChartBrush::SetColor(TColor color) {
    if (base::Change(color_, color) && onChange_) {
        onChange_();
    }
}

TChartWall::TChartWall(TChartNotify onChange)
    : onChange_(onChange), pen_(onChange), brush_(onChange, bsClear) {}

void TChartWall::SetColor(TColor color) {
    if (base::Change(color_, color) && onChange_) {
        onChange_();
    }
}

void TSeriesPointer::SetVisible(bool visible) {
    if (base::Change(visible_, visible)) {
        Changed();
    }
}

void TSeriesPointer::SetStyle(TSeriesPointerStyle style) {
    if (base::Change(style_, style)) {
        Changed();
    }
}

void TSeriesPointer::SetHorizSize(int size) {
    if (base::Change(horizSize_, size)) {
        Changed();
    }
}

void TSeriesPointer::SetVertSize(int size) {
    if (base::Change(vertSize_, size)) {
        Changed();
    }
}

void TSeriesPointer::SetInflateMargins(bool inflate) {
    if (base::Change(inflateMargins_, inflate)) {
        Changed();
    }
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

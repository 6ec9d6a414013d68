#include "widgets/Chart.h"

#include "platform/base/Change.h"

#include <QPainter>

void TChartTitle::SetVisible(bool visible) {
    if (base::Change(visible_, visible) && onChange_) {
        onChange_();
    }
}

void TChartTitle::SetText(const QStringList& text) {
    if (base::Change(text_, text) && onChange_) {
        onChange_();
    }
}

TCustomChart::TCustomChart(QWidget* parent)
    : TCustomAxisPanel(parent), backWall_([this] { RequestRepaint(); }),
      title_([this] { RequestRepaint(); }), foot_([this] { RequestRepaint(); }) {}

void TCustomChart::DrawTitles(QPainter&, chart::TPixelRect&) {
    // A hidden title takes no space; a visible one without text takes none either (the
    // footer's gap is given back), and titles with text are not drawn by this chart.
}

void TCustomChart::DrawBackWall(QPainter& painter, const chart::TPixelRect& plot) {
    // Outline from (left, top) to (right + 1, bottom + 1), far corner exclusive: it covers
    // columns left..right and rows top..bottom.
    const TChartPen& pen = backWall_.Pen();
    if (backWall_.Brush().Style() == bsSolid) {
        painter.fillRect(plot.left, plot.top, plot.Width() + 1, plot.Height() + 1,
                         ChartColorToQColor(backWall_.Brush().Color()));
    }
    DrawStraightLine(painter, pen, true, plot.top, plot.left, plot.right + 1);
    DrawStraightLine(painter, pen, true, plot.bottom, plot.left, plot.right + 1);
    DrawStraightLine(painter, pen, false, plot.left, plot.top, plot.bottom + 1);
    DrawStraightLine(painter, pen, false, plot.right, plot.top, plot.bottom + 1);
}

TChart::TChart(QWidget* parent) : TCustomChart(parent) {
    EndConstruction();
}

TChart::~TChart() {
    BeginDestruction();
}

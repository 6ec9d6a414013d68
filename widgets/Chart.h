#pragma once

// The line chart control: titles, legend and back wall on top of the axis panel.

#include "widgets/ChartAxisPanel.h"

#include <QStringList>

// A heading or footer. Drawn titles are not part of this chart: a title never shows and
// takes no space from the plot.
class TChartTitle {
public:
    explicit TChartTitle(TChartNotify onChange) : onChange_(std::move(onChange)) {}

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    QStringList Text() const { return text_; }
    void SetText(const QStringList& text);
    void SetText(const QString& text) { SetText(QStringList{text}); }

private:
    TChartNotify onChange_;
    bool visible_ = true;
    QStringList text_;
};

// The series legend; only its visibility is kept (the legend itself is not drawn).
class TChartLegend {
public:
    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

private:
    bool visible_ = true;
};

class TCustomChart : public TCustomAxisPanel {
    Q_OBJECT
public:
    explicit TCustomChart(QWidget* parent = nullptr);

    TChartWall& BackWall() { return backWall_; }
    TChartTitle& Title() { return title_; }
    TChartTitle& Foot() { return foot_; }
    TChartLegend& Legend() { return legend_; }

protected:
    void DrawTitles(QPainter& painter, chart::TPixelRect& plot) override;
    void DrawBackWall(QPainter& painter, const chart::TPixelRect& plot) override;

private:
    TChartWall backWall_;
    TChartTitle title_;
    TChartTitle foot_;
    TChartLegend legend_;
};

class TChart : public TCustomChart {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;
};

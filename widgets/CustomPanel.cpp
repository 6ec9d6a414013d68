#include "widgets/CustomPanel.h"

#include "platform/base/Change.h"

#include <QPainter>

TCustomPanel::TCustomPanel(QWidget* parent) : QWidget(parent) {}

void TCustomPanel::SetColor(TColor color) {
    if (base::Change(color_, color)) {
        RequestRepaint();
    }
}

void TCustomPanel::SetBevelOuter(TPanelBevel bevel) {
    if (base::Change(bevelOuter_, bevel)) {
        RequestRepaint();
    }
}

void TCustomPanel::SetBevelInner(TPanelBevel bevel) {
    if (base::Change(bevelInner_, bevel)) {
        RequestRepaint();
    }
}

void TCustomPanel::SetBevelWidth(int width) {
    if (base::Change(bevelWidth_, width)) {
        RequestRepaint();
    }
}

void TCustomPanel::SetBorderWidth(int width) {
    if (base::Change(borderWidth_, width)) {
        RequestRepaint();
    }
}

namespace {

// `width` rings of one edge each, from the border of `bounds` inwards; returns what is inside.
QRect DrawRings(QPainter& painter, QRect bounds, int width, TColor topLeft, TColor bottomRight) {
    for (int i = 0; i < width && !bounds.isEmpty(); ++i) {
        DrawEdge(painter, bounds, topLeft, bottomRight);
        bounds.adjust(1, 1, -1, -1);
    }
    return bounds;
}

} // namespace

QRect DrawBevel(QPainter& painter, QRect bounds, TPanelBevel bevel, int width) {
    if (bevel == bvNone) {
        return bounds;
    }
    const bool raised = bevel == bvRaised;
    return DrawRings(painter, bounds, width, raised ? clBtnHighlight : clBtnShadow,
                     raised ? clBtnShadow : clBtnHighlight);
}

void TCustomPanel::DrawPanelFrame(QPainter& painter, QRect bounds) const {
    bounds = DrawBevel(painter, bounds, bevelOuter_, bevelWidth_);
    bounds = DrawRings(painter, bounds, borderWidth_, color_, color_);
    DrawBevel(painter, bounds, bevelInner_, bevelWidth_);
}

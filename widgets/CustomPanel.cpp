#include "widgets/CustomPanel.h"

#include <QPainter>

TCustomPanel::TCustomPanel(QWidget* parent) : QWidget(parent) {}

void TCustomPanel::SetColor(TColor color) {
    if (color_ != color) {
        color_ = color;
        RequestRepaint();
    }
}

void TCustomPanel::SetBevelOuter(TPanelBevel bevel) {
    if (bevelOuter_ != bevel) {
        bevelOuter_ = bevel;
        RequestRepaint();
    }
}

void TCustomPanel::SetBevelInner(TPanelBevel bevel) {
    if (bevelInner_ != bevel) {
        bevelInner_ = bevel;
        RequestRepaint();
    }
}

void TCustomPanel::SetBevelWidth(int width) {
    if (bevelWidth_ != width) {
        bevelWidth_ = width;
        RequestRepaint();
    }
}

void TCustomPanel::SetBorderWidth(int width) {
    if (borderWidth_ != width) {
        borderWidth_ = width;
        RequestRepaint();
    }
}

QRect DrawBevel(QPainter& painter, QRect bounds, TPanelBevel bevel, int width) {
    if (bevel == bvNone || width <= 0) {
        return bounds;
    }
    const QColor highlight = ColorToQColor(clBtnHighlight);
    const QColor shadow = ColorToQColor(clBtnShadow);
    const QColor& topLeft = bevel == bvRaised ? highlight : shadow;
    const QColor& bottomRight = bevel == bvRaised ? shadow : highlight;
    for (int i = 0; i < width && bounds.width() > 0 && bounds.height() > 0; ++i) {
        // Top row and left column, then right column and bottom row over the far corners.
        painter.fillRect(bounds.left(), bounds.top(), bounds.width() - 1, 1, topLeft);
        painter.fillRect(bounds.left(), bounds.top(), 1, bounds.height() - 1, topLeft);
        painter.fillRect(bounds.right(), bounds.top(), 1, bounds.height(), bottomRight);
        painter.fillRect(bounds.left(), bounds.bottom(), bounds.width(), 1, bottomRight);
        bounds.adjust(1, 1, -1, -1);
    }
    return bounds;
}

void TCustomPanel::DrawPanelFrame(QPainter& painter, QRect bounds) const {
    bounds = DrawBevel(painter, bounds, bevelOuter_, bevelWidth_);
    const QColor band = ColorToQColor(color_);
    for (int i = 0; i < borderWidth_ && bounds.width() > 0 && bounds.height() > 0; ++i) {
        painter.fillRect(bounds.left(), bounds.top(), bounds.width(), 1, band);
        painter.fillRect(bounds.left(), bounds.bottom(), bounds.width(), 1, band);
        painter.fillRect(bounds.left(), bounds.top(), 1, bounds.height(), band);
        painter.fillRect(bounds.right(), bounds.top(), 1, bounds.height(), band);
        bounds.adjust(1, 1, -1, -1);
    }
    DrawBevel(painter, bounds, bevelInner_, bevelWidth_);
}

#pragma once

// The panel base of the chart: a window control filled with its colour and framed by an outer
// bevel, a border band and an inner bevel.

#include "platform/ui/Graphics.h"

#include <QWidget>
#include <cstdint>

class QPainter;

enum TPanelBevel : std::uint8_t { bvNone, bvLowered, bvRaised };

class TCustomPanel : public QWidget {
    Q_OBJECT
public:
    explicit TCustomPanel(QWidget* parent = nullptr);

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel bevel);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);

    // Marks the picture out of date and asks for a repaint.
    virtual void RequestRepaint() { update(); }

protected:
    // Draws the outer bevel, the border band and the inner bevel on the edge of `bounds`.
    void DrawPanelFrame(QPainter& painter, QRect bounds) const;

private:
    TColor color_ = clBtnFace;
    TPanelBevel bevelOuter_ = bvRaised;
    TPanelBevel bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
};

// One bevel `width` pixels wide inside `bounds`: raised has its top and left edges in the
// button-highlight colour and its right and bottom edges in the button-shadow colour, lowered
// the other way round. Returns the rectangle inside it.
QRect DrawBevel(QPainter& painter, QRect bounds, TPanelBevel bevel, int width);

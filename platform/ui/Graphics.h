#pragma once

#include <QColor>
#include <cstdint>

class QPainter;
class QRect;

// 0x00BBGGRR for a fixed colour, or 0xFF000000 plus a system colour index.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;

constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;

// The RGB value a colour stands for; system colours use the classic desktop theme's values.
QColor ColorToQColor(TColor color);

// A one-pixel edge on the border of `rect`: the top row and the left column in `topLeft`, the
// right column and the bottom row in `bottomRight`, which also owns the top-right and
// bottom-left corners, as the classic desktop draws its bevels. Nothing for an empty rect.
// Bevels, spin buttons and entry frames are rings of it.
void DrawEdge(QPainter& painter, const QRect& rect, TColor topLeft, TColor bottomRight);

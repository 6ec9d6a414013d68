#pragma once

#include "platform/ui/Graphics.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>

enum TGaugeKind : std::uint8_t { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
enum TBorderStyle : std::uint8_t { bsNone, bsSingle };

class TGaugePicture;

// A percentage gauge: a whole-number value between two bounds drawn as a filled shape in one of
// five styles, with the whole percentage ("42%") over it. It never takes the keyboard focus.
//
// Placing one: construct it with its parent, setGeometry(), then apply the stored properties
// between BeginLoading() and EndLoading() (MinValue/MaxValue bound checks are off in between):
//     SetBackColor, SetForeColor, SetColor, setFont, SetProgress ...
// The font's pixel size is the character height; its colour plays no part (the text is always
// white, exclusive-or'ed over the shape).
class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);
    ~TGauge() override;

    TGaugeKind Kind() const { return kind_; }
    void SetKind(TGaugeKind kind);
    bool ShowText() const { return showText_; }
    void SetShowText(bool show);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    TColor ForeColor() const { return foreColor_; }
    void SetForeColor(TColor color);
    TColor BackColor() const { return backColor_; }
    void SetBackColor(TColor color);
    // The area around the dial of the pie and needle styles.
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    std::int32_t MinValue() const { return minValue_; }
    // Raises EInvalidOperation "Value must be between -2147483647 and MaxValue-1" for a value
    // above MaxValue (unless loading); pulls Progress up to it; repaints now.
    void SetMinValue(std::int32_t value);
    std::int32_t MaxValue() const { return maxValue_; }
    // Raises EInvalidOperation "Value must be between MinValue+1 and 2147483647" for a value
    // below MinValue (unless loading); pulls Progress down to it; repaints now.
    void SetMaxValue(std::int32_t value);
    std::int32_t Progress() const { return progress_; }
    // Clamped into MinValue … MaxValue; repaints now only when the whole percentage changes.
    void SetProgress(std::int32_t value);
    int PercentComplete() const;

    // Stored values are being applied: the bound checks of MinValue and MaxValue are off.
    void BeginLoading() { loading_ = true; }
    void EndLoading() { loading_ = false; }
    bool Loading() const { return loading_; }

    // The finished picture, Width × Height, exactly as a paint puts it on the screen. It is
    // composed again only when what it shows has changed since the last one.
    QImage Render() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Paints the whole gauge before returning when it is visible; otherwise nothing.
    void RepaintNow();
    void PaintShape(QImage& image, int left, int top, int right, int bottom) const;
    void PaintText(QImage& image, int left, int top, int right, int bottom) const;
    void PaintPie(QImage& image, int left, int top, int right, int bottom, int percent) const;
    void PaintNeedle(QImage& image, int left, int top, int right, int bottom, int percent) const;

    TGaugeKind kind_ = gkHorizontalBar;
    bool showText_ = true;
    TBorderStyle borderStyle_ = bsSingle;
    TColor foreColor_ = clBlack;
    TColor backColor_ = clWhite;
    TColor color_ = clWindow;
    std::int32_t minValue_ = 0;
    std::int32_t maxValue_ = 100;
    std::int32_t progress_ = 0;
    bool loading_ = false;
    mutable std::unique_ptr<TGaugePicture> picture_;
};

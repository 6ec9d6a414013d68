#pragma once

#include "platform/ui/TTimer.h"

#include <QImage>
#include <QWidget>
#include <functional>

// A push button without focus of its own that shows a glyph and reports a click. With repeat
// allowed, holding it down clicks 400 ms after the press and then every 100 ms while it is
// shown pressed; releasing it over the button clicks once more.
class TTimerSpeedButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInitialRepeatPause = 400;
    static constexpr int kRepeatInterval = 100;

    explicit TTimerSpeedButton(QWidget* parent = nullptr);

    bool RepeatAllowed() const { return repeatAllowed_; }
    void SetRepeatAllowed(bool allowed) { repeatAllowed_ = allowed; }
    bool ShowFocusFrame() const { return showFocusFrame_; }
    void SetShowFocusFrame(bool show);

    // The glyph: NumGlyphs images side by side (normal, disabled, pressed); the colour of its
    // bottom-left pixel is transparent.
    const QImage& Glyph() const { return glyph_; }
    void SetGlyph(const QImage& glyph);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int count);

    // Shown sunken: pressed with the mouse, and the mouse over the button.
    bool Down() const { return down_; }
    // Reports a click; an error raised by the handler passes on.
    void Click();
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend struct TSpinProbe;

    void RepeatTick();
    void StopRepeat();
    void SetDown(bool down);

    bool repeatAllowed_ = false;
    bool showFocusFrame_ = false;
    bool down_ = false;
    bool captured_ = false;
    QImage glyph_;
    int numGlyphs_ = 1;
    ui::TTimer* repeatTimer_ = nullptr;
};

#pragma once

#include "platform/ui/Graphics.h"
#include "platform/ui/TTimer.h"

#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

class TSpinButton;

// The built-in glyph bitmaps "SpinUp" and "SpinDown" (names matched without regard to case):
// 9 × 6, 16 colours, a black triangle on olive. A null image for any other name.
QImage LoadSpinGlyph(QStringView name);

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

    // Created at the first press; null before.
    ui::TTimer* RepeatTimer() const { return repeatTimer_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
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

// Two auto-repeating buttons, up over down, overlapping by one pixel row. Pressing one moves
// the focus to FocusControl (or, stand-alone with TabStop, to the pair itself). A new pair is
// 20 × 25 and takes no focus.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* parent = nullptr);

    TTimerSpeedButton* UpButton() const { return upButton_; }
    TTimerSpeedButton* DownButton() const { return downButton_; }
    // The button that Space clicks and that shows the focus frame; the up button at first.
    TTimerSpeedButton* FocusedButton() const { return focusedButton_; }

    // Receives the focus when a button is pressed; cleared when it is destroyed.
    QWidget* FocusControl() const { return focusControl_; }
    void SetFocusControl(QWidget* control) { focusControl_ = control; }

    // Assigning a null image restores the built-in glyph.
    QImage UpGlyph() const { return upButton_->Glyph(); }
    void SetUpGlyph(const QImage& glyph);
    QImage DownGlyph() const { return downButton_->Glyph(); }
    void SetDownGlyph(const QImage& glyph);
    int UpNumGlyphs() const { return upButton_->NumGlyphs(); }
    void SetUpNumGlyphs(int count) { upButton_->SetNumGlyphs(count); }
    int DownNumGlyphs() const { return downButton_->NumGlyphs(); }
    void SetDownNumGlyphs(int count) { downButton_->SetNumGlyphs(count); }

    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop);
    bool Ctl3D() const { return ctl3d_; }
    void SetCtl3D(bool ctl3d) { ctl3d_ = ctl3d; }

    // Called with the pair as sender, only when set.
    std::function<void(TSpinButton* sender)> OnUpClick;
    std::function<void(TSpinButton* sender)> OnDownClick;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void SetFocusedButton(TTimerSpeedButton* button);
    void ButtonPressed(TTimerSpeedButton* button);

    TTimerSpeedButton* upButton_;
    TTimerSpeedButton* downButton_;
    TTimerSpeedButton* focusedButton_;
    QPointer<QWidget> focusControl_;
    bool tabStop_ = false;
    bool ctl3d_ = true;
};

// A one-line entry for a whole number with an up/down button pair inside its right edge.
// Reading Value parses the text without clamping; writing Value, stepping and leaving the entry
// keep the number within MinValue … MaxValue (no range when the two are equal).
//
// Placing one: construct it with its parent, setGeometry(), setFont() (pixel size = character
// height), SetColor(), SetFontColor(), then the stored values in their stored order, e.g.
// SetMaxValue(10000), SetMinValue(0), SetValue(100). The bounds are plain values with no checks,
// so no loading mode is needed. The entry itself is the focus widget and takes part in the tab
// order; it selects its whole text whenever it receives the focus other than by a left mouse
// press (first show included).
class TSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    std::int32_t MinValue() const { return minValue_; }
    void SetMinValue(std::int32_t value) { minValue_ = value; }
    std::int32_t MaxValue() const { return maxValue_; }
    void SetMaxValue(std::int32_t value) { maxValue_ = value; }
    std::int32_t Increment() const { return increment_; }
    void SetIncrement(std::int32_t value) { increment_ = value; }
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool enabled) { editorEnabled_ = enabled; }

    // The text as a number, not clamped; MinValue when the text is not a number.
    std::int32_t Value() const;
    // The text becomes the decimal form of ClampValue(value) when that differs from it; then
    // OnChange is reported, and an error it raises passes on to the caller.
    void SetValue(std::int32_t value);
    std::int32_t ClampValue(std::int32_t value) const;

    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool readOnly) { setReadOnly(readOnly); }
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool autoSelect) { autoSelect_ = autoSelect; }
    // 0 means no limit (the entry's own ceiling of 32767 characters).
    int MaxLength() const { return maxLength() >= 32767 ? 0 : maxLength(); }
    void SetMaxLength(int length) { setMaxLength(length <= 0 ? 32767 : length); }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize) { autoSize_ = autoSize; }
    bool Ctl3D() const { return ctl3d_; }
    void SetCtl3D(bool ctl3d);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color);

    TSpinButton* Button() const { return button_; }
    // The text rectangle within the client area (right and bottom edges excluded).
    QRect TextRect() const { return textRect_; }
    // The width of the edge around the client area.
    int FrameWidth() const { return ctl3d_ ? 2 : 1; }

    // Reported on every change of the text.
    std::function<void()> OnChange;

    virtual bool IsAcceptedChar(char16_t c) const;
    virtual void StepUp();
    virtual void StepDown();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool CanEditClipboard() const { return editorEnabled_ && !isReadOnly(); }
    void Layout();
    void ApplyColors();

    TSpinButton* button_;
    std::int32_t minValue_ = 0;
    std::int32_t maxValue_ = 0;
    std::int32_t increment_ = 1;
    bool editorEnabled_ = true;
    bool autoSelect_ = true;
    bool autoSize_ = true;
    bool ctl3d_ = true;
    bool created_ = false;
    bool writingValue_ = false;
    TColor color_ = clWindow;
    TColor fontColor_ = clWindowText;
    QRect textRect_;
};

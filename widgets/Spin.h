#pragma once

#include "platform/ui/Graphics.h"
#include "widgets/SpinButton.h"

#include <QLineEdit>
#include <cstdint>
#include <functional>

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

    // ReadOnly and MaxLength are the entry's one way to these two settings; the line edit's
    // own accessors are private here, as MaxLength reads 0 where the line edit has its ceiling.
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool readOnly) { setReadOnly(readOnly); }
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool autoSelect) { autoSelect_ = autoSelect; }
    // 0 means no limit (the entry's own ceiling of 32767 characters).
    int MaxLength() const { return maxLength() >= 32767 ? 0 : maxLength(); }
    void SetMaxLength(int length) { setMaxLength(length <= 0 ? 32767 : length); }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize) { autoSize_ = autoSize; }
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool ctl3D);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color);

    TSpinButton* Button() const { return button_; }
    // The width of the edge around the client area.
    int FrameWidth() const { return ctl3D_ ? 2 : 1; }

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
    friend struct TSpinProbe;

    using QLineEdit::isReadOnly;
    using QLineEdit::maxLength;
    using QLineEdit::setMaxLength;
    using QLineEdit::setReadOnly;

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
    bool ctl3D_ = true;
    bool created_ = false;
    bool writingValue_ = false;
    TColor color_ = clWindow;
    TColor fontColor_ = clWindowText;
    QRect textRect_;
};

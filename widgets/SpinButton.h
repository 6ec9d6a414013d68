#pragma once

#include "widgets/SpinGlyphs.h"
#include "widgets/TimerSpeedButton.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

// Two auto-repeating buttons, up over down, overlapping by one pixel row. Pressing one moves
// the focus to FocusControl (or, stand-alone with TabStop, to the pair itself). A new pair is
// 20 × 25 and takes no focus.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* parent = nullptr);

    TTimerSpeedButton* UpButton() const { return upButton_; }
    TTimerSpeedButton* DownButton() const { return downButton_; }

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
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool ctl3D) { ctl3D_ = ctl3D; }

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
    friend struct TSpinProbe;

    void Layout();
    void SetFocusedButton(TTimerSpeedButton* button);
    void ButtonPressed(TTimerSpeedButton* button);

    TTimerSpeedButton* upButton_;
    TTimerSpeedButton* downButton_;
    TTimerSpeedButton* focusedButton_;
    QPointer<QWidget> focusControl_;
    bool tabStop_ = false;
    bool ctl3D_ = true;
};

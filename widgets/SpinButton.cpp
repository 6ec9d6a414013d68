#include "widgets/SpinButton.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "platform/ui/Graphics.h"
#include "widgets/SpinMetrics.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    upButton_ = new TTimerSpeedButton(this);
    downButton_ = new TTimerSpeedButton(this);
    focusedButton_ = upButton_;
    for (TTimerSpeedButton* button : {upButton_, downButton_}) {
        button->SetRepeatAllowed(true);
        button->installEventFilter(this);
    }
    upButton_->SetGlyph(LoadSpinGlyph(u"SpinUp"));
    downButton_->SetGlyph(LoadSpinGlyph(u"SpinDown"));
    upButton_->OnClick = [this] {
        if (OnUpClick) {
            OnUpClick(this);
        }
    };
    downButton_->OnClick = [this] {
        if (OnDownClick) {
            OnDownClick(this);
        }
    };
    resize(20, 25);
    Layout();
}

void TSpinButton::SetUpGlyph(const QImage& glyph) {
    upButton_->SetGlyph(glyph.isNull() ? LoadSpinGlyph(u"SpinUp") : glyph);
}

void TSpinButton::SetDownGlyph(const QImage& glyph) {
    downButton_->SetGlyph(glyph.isNull() ? LoadSpinGlyph(u"SpinDown") : glyph);
}

void TSpinButton::SetTabStop(bool tabStop) {
    tabStop_ = tabStop;
    setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
}

void TSpinButton::Layout() {
    const spin::PairLayout layout = spin::LayoutPair(width(), height());
    if (layout.width != width()) {
        resize(layout.width, height());
        if (!isVisible()) {
            Layout();
        }
        return;
    }
    upButton_->setGeometry(layout.up);
    downButton_->setGeometry(layout.down);
}

void TSpinButton::resizeEvent(QResizeEvent*) {
    Layout();
}

void TSpinButton::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), ColorToQColor(clBtnFace));
}

void TSpinButton::SetFocusedButton(TTimerSpeedButton* button) {
    TTimerSpeedButton* previous = focusedButton_;
    if (base::Change(focusedButton_, button)) {
        previous->SetShowFocusFrame(false);
        focusedButton_->SetShowFocusFrame(hasFocus());
    }
}

void TSpinButton::focusInEvent(QFocusEvent* event) {
    focusedButton_->SetShowFocusFrame(true);
    QWidget::focusInEvent(event);
}

void TSpinButton::focusOutEvent(QFocusEvent* event) {
    focusedButton_->SetShowFocusFrame(false);
    QWidget::focusOutEvent(event);
}

void TSpinButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        ui::RunHandler([this] { focusedButton_->Click(); });
        return;
    case Qt::Key_Up:
        SetFocusedButton(upButton_);
        ui::RunHandler([this] { upButton_->Click(); });
        return;
    case Qt::Key_Down:
        SetFocusedButton(downButton_);
        ui::RunHandler([this] { downButton_->Click(); });
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TSpinButton::ButtonPressed(TTimerSpeedButton* button) {
    SetFocusedButton(button);
    const auto canFocus = [](QWidget* w) {
        return w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus);
    };
    QWidget* control = focusControl_;
    if (control && canFocus(control) && !control->hasFocus()) {
        control->setFocus(Qt::MouseFocusReason);
    } else if (tabStop_ && canFocus(this) && !hasFocus()) {
        setFocus(Qt::MouseFocusReason);
    }
}

bool TSpinButton::eventFilter(QObject* watched, QEvent* event) {
    // A quick second press arrives as a double click; it presses the button all the same.
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (press && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == upButton_ || watched == downButton_) {
            auto* button = static_cast<TTimerSpeedButton*>(watched);
            if (button->isEnabled()) {
                ButtonPressed(button);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

#include "widgets/Spin.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "widgets/SpinMetrics.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <memory>

namespace {

// The character a key press types on the classic desktop, or −1 for a key that types none.
int TypedCharCode(const QKeyEvent& event) {
    const auto modifiers = event.modifiers();
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) {
        return -1;
    }
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Delete:
        return -1;
    default:
        break;
    }
    if (modifiers & Qt::ControlModifier) {
        // Ctrl with a letter types the control character of that letter (Ctrl+V is 22).
        if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
            return event.key() - Qt::Key_A + 1;
        }
        return -1;
    }
    const QString text = event.text();
    if (text.isEmpty() || text.front().unicode() == 127) {
        return -1;
    }
    return text.front().unicode();
}

} // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A classic entry takes no dropped text: every change comes by typing, paste, cut or steps.
    setAcceptDrops(false);
    setText(QStringLiteral("0"));
    button_ = new TSpinButton(this);
    button_->resize(spin::kButtonPairWidth, 17);
    button_->setCursor(Qt::ArrowCursor);
    button_->SetFocusControl(this);
    button_->OnUpClick = [this](TSpinButton*) { StepUp(); };
    button_->OnDownClick = [this](TSpinButton*) { StepDown(); };
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!writingValue_ && OnChange) {
            ui::RunHandler(OnChange);
        }
    });
    ApplyColors();
    Layout();
}

std::int32_t TSpinEdit::Value() const {
    const auto number = spin::ParseNumber(text());
    return number ? *number : minValue_;
}

std::int32_t TSpinEdit::ClampValue(std::int32_t value) const {
    return spin::ClampValue(value, minValue_, maxValue_);
}

void TSpinEdit::SetValue(std::int32_t value) {
    const QString newText = QString::number(ClampValue(value));
    if (newText == text()) {
        return;
    }
    writingValue_ = true;
    setText(newText);
    writingValue_ = false;
    // Reported here rather than from the signal, so that an error reaches the caller.
    if (OnChange) {
        OnChange();
    }
}

void TSpinEdit::StepUp() {
    if (isReadOnly()) {
        ui::Beep();
        return;
    }
    SetValue(spin::SaturatingAdd(Value(), increment_));
}

void TSpinEdit::StepDown() {
    if (isReadOnly()) {
        ui::Beep();
        return;
    }
    SetValue(spin::SaturatingAdd(Value(), -std::int64_t{increment_}));
}

bool TSpinEdit::IsAcceptedChar(char16_t c) const {
    const QString separator = QLocale().decimalPoint();
    return spin::AcceptsTypedChar(c, separator.isEmpty() ? u'.' : separator.front().unicode(),
                                  editorEnabled_);
}

void TSpinEdit::SetCtl3D(bool ctl3D) {
    if (base::Change(ctl3D_, ctl3D)) {
        button_->SetCtl3D(ctl3D);
        Layout();
        update();
    }
}

void TSpinEdit::SetColor(TColor color) {
    color_ = color;
    ApplyColors();
}

void TSpinEdit::SetFontColor(TColor color) {
    fontColor_ = color;
    ApplyColors();
}

void TSpinEdit::ApplyColors() {
    QPalette colors = palette();
    colors.setColor(QPalette::Base, ColorToQColor(color_));
    colors.setColor(QPalette::Text, ColorToQColor(fontColor_));
    setPalette(colors);
}

void TSpinEdit::Layout() {
    const int fontLine = QFontMetrics(font()).height();
    const int systemLine = QFontMetrics(QApplication::font()).height();
    const int frame = FrameWidth();
    const spin::EditLayout layout =
        spin::LayoutEdit(width(), height(), ctl3D_, frame, fontLine, systemLine);
    if (height() < layout.minimumHeight) {
        resize(width(), layout.minimumHeight);
        if (!isVisible()) {
            Layout();
        }
        return;
    }
    button_->setGeometry(layout.buttons.translated(frame, frame));
    textRect_ = QRect(0, 0, layout.textRight, layout.textBottom);
    setTextMargins(frame, frame, std::max(0, width() - frame - layout.textRight),
                   std::max(0, height() - frame - layout.textBottom));
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    Layout();
}

void TSpinEdit::showEvent(QShowEvent* event) {
    if (!created_) {
        created_ = true;
        if (autoSize_) {
            const int autoHeight = spin::AutoSizeHeight(QFontMetrics(font()).height(), ctl3D_);
            if (autoHeight > height()) {
                resize(width(), autoHeight);
            }
        }
        Layout();
    }
    QLineEdit::showEvent(event);
}

void TSpinEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Layout();
    }
}

void TSpinEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter p(this);
    const QRect outer = rect();
    if (ctl3D_) {
        DrawEdge(p, outer, clBtnShadow, clBtnHighlight);
        DrawEdge(p, outer.adjusted(1, 1, -1, -1), cl3DDkShadow, cl3DLight);
        DrawEdge(p, button_->geometry().adjusted(-1, -1, 1, 1), clBtnShadow, clBtnHighlight);
    } else {
        DrawEdge(p, outer, clBlack, clBlack);
    }
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        const bool up = event->key() == Qt::Key_Up;
        ui::RunHandler([this, up] { up ? StepUp() : StepDown(); });
        return QLineEdit::keyPressEvent(event);
    }
    const int code = TypedCharCode(*event);
    if (code >= 0 && !IsAcceptedChar(static_cast<char16_t>(code))) {
        ui::Beep();
        event->accept();
        return;
    }
    if ((event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) &&
        !CanEditClipboard()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TSpinEdit::inputMethodEvent(QInputMethodEvent* event) {
    for (const QChar c : event->commitString()) {
        if (!IsAcceptedChar(c.unicode())) {
            ui::Beep();
            event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void TSpinEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Coming back from the entry's own context menu keeps the selection the user made.
    if (!autoSelect_ || event->reason() == Qt::PopupFocusReason) {
        return;
    }
    if (event->reason() == Qt::MouseFocusReason &&
        QGuiApplication::mouseButtons().testFlag(Qt::LeftButton)) {
        return;
    }
    selectAll();
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Only leaving for another control counts: not a menu opening, nor another window.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) {
        return;
    }
    ui::RunHandler([this] {
        const std::int32_t value = Value();
        if (ClampValue(value) != value) {
            SetValue(value);
        }
    });
}

void TSpinEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the selection on X11; it follows the paste rule.
    if (event->button() == Qt::MiddleButton && !CanEditClipboard()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (!CanEditClipboard()) {
        for (QAction* action : menu->actions()) {
            if (action->objectName() == u"edit-cut" || action->objectName() == u"edit-paste") {
                action->setEnabled(false);
            }
        }
    }
    menu->exec(event->globalPos());
}

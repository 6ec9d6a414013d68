#include "widgets/Spin.h"

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
#include <array>
#include <memory>

namespace {

constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;

// The sixteen colours of a 4-bit bitmap; the glyphs use black (0) and olive (3).
constexpr std::array<QRgb, 16> kGlyphPalette = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFF808080,
    0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};
constexpr int kBlackIndex = 0;
constexpr int kOliveIndex = 3;

QImage TriangleGlyph(bool apexUp) {
    QImage glyph(9, 6, QImage::Format_Indexed8);
    glyph.setColorTable(QList<QRgb>(kGlyphPalette.begin(), kGlyphPalette.end()));
    glyph.fill(kOliveIndex);
    // Rows 1 … 4 hold 1, 3, 5 and 7 pixels around the middle column 4.
    for (int step = 0; step < 4; ++step) {
        const int row = apexUp ? 1 + step : 4 - step;
        for (int x = 4 - step; x <= 4 + step; ++x)
            glyph.setPixel(x, row, kBlackIndex);
    }
    return glyph;
}

// The glyph with the colour of its bottom-left pixel made transparent.
QImage TransparentGlyph(const QImage& glyph) {
    QImage image = glyph.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    return image;
}

void DrawHorizontal(QPainter& p, int x1, int x2, int y, TColor color) {
    p.fillRect(QRect(QPoint(x1, y), QPoint(x2, y)), ColorToQColor(color));
}

void DrawVertical(QPainter& p, int x, int y1, int y2, TColor color) {
    p.fillRect(QRect(QPoint(x, y1), QPoint(x, y2)), ColorToQColor(color));
}

// A one-pixel frame around r: top and left in one colour, right and bottom in the other.
void DrawEdge(QPainter& p, const QRect& r, TColor topLeft, TColor bottomRight) {
    DrawHorizontal(p, r.left(), r.right(), r.top(), topLeft);
    DrawVertical(p, r.left(), r.top(), r.bottom(), topLeft);
    DrawHorizontal(p, r.left(), r.right(), r.bottom(), bottomRight);
    DrawVertical(p, r.right(), r.top(), r.bottom(), bottomRight);
}

// The character a key press types on the classic desktop, or −1 for a key that types none.
int TypedCharCode(const QKeyEvent& event) {
    const auto modifiers = event.modifiers();
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
        return -1;
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
        if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
            return event.key() - Qt::Key_A + 1;
        return -1;
    }
    const QString text = event.text();
    if (text.isEmpty() || text.front().unicode() == 127)
        return -1;
    return text.front().unicode();
}

} // namespace

QImage LoadSpinGlyph(QStringView name) {
    if (name.compare(u"SpinUp", Qt::CaseInsensitive) == 0)
        return TriangleGlyph(true);
    if (name.compare(u"SpinDown", Qt::CaseInsensitive) == 0)
        return TriangleGlyph(false);
    return {};
}

// ---------------------------------------------------------------------------------------------

TTimerSpeedButton::TTimerSpeedButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TTimerSpeedButton::SetShowFocusFrame(bool show) {
    if (show == showFocusFrame_)
        return;
    showFocusFrame_ = show;
    update();
}

void TTimerSpeedButton::SetGlyph(const QImage& glyph) {
    glyph_ = glyph;
    update();
}

void TTimerSpeedButton::SetNumGlyphs(int count) {
    count = std::clamp(count, 1, 4);
    if (count == numGlyphs_)
        return;
    numGlyphs_ = count;
    update();
}

void TTimerSpeedButton::Click() {
    if (OnClick)
        OnClick();
}

void TTimerSpeedButton::SetDown(bool down) {
    if (down == down_)
        return;
    down_ = down;
    repaint();
}

void TTimerSpeedButton::StopRepeat() {
    if (repeatTimer_)
        repeatTimer_->SetEnabled(false);
}

void TTimerSpeedButton::RepeatTick() {
    repeatTimer_->SetInterval(kRepeatInterval);
    if (!down_ || !captured_)
        return;
    try {
        Click();
    } catch (...) {
        StopRepeat();
        throw;
    }
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled())
        return QWidget::mousePressEvent(event);
    captured_ = true;
    SetDown(true);
    if (repeatAllowed_) {
        if (!repeatTimer_) {
            repeatTimer_ = new ui::TTimer(this);
            repeatTimer_->OnTimer = [this] { RepeatTick(); };
        }
        // Disabled first, so that the period always starts at the press.
        repeatTimer_->SetEnabled(false);
        repeatTimer_->SetInterval(kInitialRepeatPause);
        repeatTimer_->SetEnabled(true);
    }
}

void TTimerSpeedButton::mouseMoveEvent(QMouseEvent* event) {
    if (captured_)
        SetDown(rect().contains(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !captured_)
        return QWidget::mouseReleaseEvent(event);
    captured_ = false;
    const bool over = rect().contains(event->position().toPoint());
    SetDown(false);
    StopRepeat();
    if (over)
        ui::RunHandler([this] { Click(); });
}

void TTimerSpeedButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        captured_ = false;
        down_ = false;
        StopRepeat();
    }
    QWidget::changeEvent(event);
}

void TTimerSpeedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, ColorToQColor(clBtnFace));
    if (r.width() >= 2 && r.height() >= 2) {
        if (down_) {
            DrawEdge(p, r, cl3DDkShadow, clBtnHighlight);
            DrawEdge(p, r.adjusted(1, 1, -1, -1), clBtnShadow, cl3DLight);
        } else {
            DrawEdge(p, r, cl3DLight, cl3DDkShadow);
            DrawEdge(p, r.adjusted(1, 1, -1, -1), clBtnHighlight, clBtnShadow);
        }
    }
    const int shift = down_ ? 1 : 0;
    if (!glyph_.isNull()) {
        const int sliceWidth = glyph_.width() / numGlyphs_;
        int slice = 0;
        if (!isEnabled() && numGlyphs_ > 1)
            slice = 1;
        else if (down_ && numGlyphs_ > 2)
            slice = 2;
        QImage image =
            TransparentGlyph(glyph_.copy(slice * sliceWidth, 0, sliceWidth, glyph_.height()));
        if (!isEnabled() && numGlyphs_ == 1) {
            // No disabled image of its own: the glyph's shape in the shadow colour.
            const QRgb shadow = ColorToQColor(clBtnShadow).rgb();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) != 0)
                        image.setPixel(x, y, shadow);
        }
        const int x = (r.width() - image.width()) / 2 + shift;
        const int y = (r.height() - image.height()) / 2 + shift;
        p.drawImage(x, y, image);
    }
    if (showFocusFrame_ && r.width() > 6 && r.height() > 6) {
        QPen pen(ColorToQColor(clBlack), 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(3 + shift, 3 + shift, r.width() - 7, r.height() - 7));
    }
}

// ---------------------------------------------------------------------------------------------

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
        if (OnUpClick)
            OnUpClick(this);
    };
    downButton_->OnClick = [this] {
        if (OnDownClick)
            OnDownClick(this);
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
        if (!isVisible())
            Layout();
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
    if (button == focusedButton_)
        return;
    focusedButton_->SetShowFocusFrame(false);
    focusedButton_ = button;
    focusedButton_->SetShowFocusFrame(hasFocus());
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
    if (control && canFocus(control) && !control->hasFocus())
        control->setFocus(Qt::MouseFocusReason);
    else if (tabStop_ && canFocus(this) && !hasFocus())
        setFocus(Qt::MouseFocusReason);
}

bool TSpinButton::eventFilter(QObject* watched, QEvent* event) {
    // A quick second press arrives as a double click; it presses the button all the same.
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (press && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == upButton_ || watched == downButton_) {
            auto* button = static_cast<TTimerSpeedButton*>(watched);
            if (button->isEnabled())
                ButtonPressed(button);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

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
        if (!writingValue_ && OnChange)
            ui::RunHandler(OnChange);
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
    if (newText == text())
        return;
    writingValue_ = true;
    setText(newText);
    writingValue_ = false;
    // Reported here rather than from the signal, so that an error reaches the caller.
    if (OnChange)
        OnChange();
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

void TSpinEdit::SetCtl3D(bool ctl3d) {
    if (ctl3d == ctl3d_)
        return;
    ctl3d_ = ctl3d;
    button_->SetCtl3D(ctl3d);
    Layout();
    update();
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
        spin::LayoutEdit(width(), height(), ctl3d_, frame, fontLine, systemLine);
    if (height() < layout.minimumHeight) {
        resize(width(), layout.minimumHeight);
        if (!isVisible())
            Layout();
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
            const int autoHeight = spin::AutoSizeHeight(QFontMetrics(font()).height(), ctl3d_);
            if (autoHeight > height())
                resize(width(), autoHeight);
        }
        Layout();
    }
    QLineEdit::showEvent(event);
}

void TSpinEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        Layout();
}

void TSpinEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter p(this);
    const QRect outer = rect();
    if (ctl3d_) {
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
    if (!autoSelect_ || event->reason() == Qt::PopupFocusReason)
        return;
    if (event->reason() == Qt::MouseFocusReason &&
        QGuiApplication::mouseButtons().testFlag(Qt::LeftButton))
        return;
    selectAll();
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Only leaving for another control counts: not a menu opening, nor another window.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    ui::RunHandler([this] {
        const std::int32_t value = Value();
        if (ClampValue(value) != value)
            SetValue(value);
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
        for (QAction* action : menu->actions())
            if (action->objectName() == u"edit-cut" || action->objectName() == u"edit-paste")
                action->setEnabled(false);
    }
    menu->exec(event->globalPos());
}

#include "widgets/TimerSpeedButton.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "platform/ui/Graphics.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

// The glyph with the colour of its bottom-left pixel made transparent.
QImage TransparentGlyph(const QImage& glyph) {
    QImage image = glyph.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        return image;
    }
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == key) {
                line[x] = 0;
            }
        }
    }
    return image;
}

} // namespace

TTimerSpeedButton::TTimerSpeedButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TTimerSpeedButton::SetShowFocusFrame(bool show) {
    if (base::Change(showFocusFrame_, show)) {
        update();
    }
}

void TTimerSpeedButton::SetGlyph(const QImage& glyph) {
    glyph_ = glyph;
    update();
}

void TTimerSpeedButton::SetNumGlyphs(int count) {
    if (base::Change(numGlyphs_, std::clamp(count, 1, 4))) {
        update();
    }
}

void TTimerSpeedButton::Click() {
    if (OnClick) {
        OnClick();
    }
}

void TTimerSpeedButton::SetDown(bool down) {
    if (base::Change(down_, down)) {
        repaint();
    }
}

void TTimerSpeedButton::StopRepeat() {
    if (repeatTimer_) {
        repeatTimer_->SetEnabled(false);
    }
}

void TTimerSpeedButton::RepeatTick() {
    repeatTimer_->SetInterval(kRepeatInterval);
    if (!down_ || !captured_) {
        return;
    }
    try {
        Click();
    } catch (...) {
        StopRepeat();
        throw;
    }
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        return QWidget::mousePressEvent(event);
    }
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
    if (captured_) {
        SetDown(rect().contains(event->position().toPoint()));
    }
    QWidget::mouseMoveEvent(event);
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !captured_) {
        return QWidget::mouseReleaseEvent(event);
    }
    captured_ = false;
    const bool over = rect().contains(event->position().toPoint());
    SetDown(false);
    StopRepeat();
    if (over) {
        ui::RunHandler([this] { Click(); });
    }
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
        if (!isEnabled() && numGlyphs_ > 1) {
            slice = 1;
        } else if (down_ && numGlyphs_ > 2) {
            slice = 2;
        }
        QImage image =
            TransparentGlyph(glyph_.copy(slice * sliceWidth, 0, sliceWidth, glyph_.height()));
        if (!isEnabled() && numGlyphs_ == 1) {
            // No disabled image of its own: the glyph's shape in the shadow colour.
            const QRgb shadow = ColorToQColor(clBtnShadow).rgb();
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qAlpha(image.pixel(x, y)) != 0) {
                        image.setPixel(x, y, shadow);
                    }
                }
            }
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

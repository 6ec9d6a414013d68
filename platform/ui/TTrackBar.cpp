#include "platform/ui/TTrackBar.h"

#include "platform/ui/Application.h"

#include <QKeyEvent>
#include <QSignalBlocker>

namespace ui {

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    connect(this, &QSlider::valueChanged, this, [this] {
        if (userDepth_ == 0) {
            Notify();
        }
    });
    connect(this, &QSlider::actionTriggered, this, [this] {
        if (userDepth_ > 0) {
            ++actions_;
        }
    });
}

template <class Base> int TTrackBar::AsUser(Base&& base) {
    const int outerActions = actions_;
    actions_ = 0;
    ++userDepth_;
    base();
    --userDepth_;
    const int taken = actions_;
    actions_ = outerActions;
    for (int i = 0; i < taken; ++i) {
        Notify();
    }
    return taken;
}

void TTrackBar::ShowPosition(int position) {
    const QSignalBlocker quiet(this);
    setValue(position);
}

void TTrackBar::Notify() {
    if (OnChange) {
        RunHandler(OnChange);
    }
}

void TTrackBar::keyPressEvent(QKeyEvent* event) {
    if (AsUser([&] { QSlider::keyPressEvent(event); }) > 0) {
        keyTracking_ = true;
    }
}

void TTrackBar::keyReleaseEvent(QKeyEvent* event) {
    QSlider::keyReleaseEvent(event);
    if (keyTracking_ && !event->isAutoRepeat()) {
        keyTracking_ = false;
        Notify();
    }
}

void TTrackBar::mousePressEvent(QMouseEvent* event) {
    AsUser([&] { QSlider::mousePressEvent(event); });
    mouseTracking_ = isSliderDown() || repeatAction() != SliderNoAction || event->isAccepted();
}

void TTrackBar::mouseMoveEvent(QMouseEvent* event) {
    AsUser([&] { QSlider::mouseMoveEvent(event); });
}

void TTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    AsUser([&] { QSlider::mouseReleaseEvent(event); });
    if (mouseTracking_) {
        mouseTracking_ = false;
        Notify();
    }
}

void TTrackBar::wheelEvent(QWheelEvent* event) {
    if (AsUser([&] { QSlider::wheelEvent(event); }) > 0) {
        Notify();
    }
}

void TTrackBar::timerEvent(QTimerEvent* event) {
    // Auto-repeat of a held click on the channel.
    AsUser([&] { QSlider::timerEvent(event); });
}

} // namespace ui

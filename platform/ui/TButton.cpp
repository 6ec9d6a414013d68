#include "platform/ui/TButton.h"

#include "platform/ui/Application.h"

#include <QKeyEvent>

namespace ui {
namespace {

bool TakesTabFocus(const QWidget* widget) {
    return widget->isEnabled() && widget->isVisibleTo(widget->window()) &&
           (widget->focusPolicy() & Qt::TabFocus) != 0;
}

// The next (or previous) control of the same parent in the focus chain, wrapping round.
QWidget* SiblingInTabOrder(QWidget* from, bool forward) {
    QWidget* parent = from->parentWidget();
    QWidget* w = from;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w != from && w->parentWidget() == parent && TakesTabFocus(w)) {
            return w;
        }
    } while (w != from);
    return nullptr;
}

} // namespace

TButton::TButton(QWidget* parent) : QPushButton(parent) {
    connect(this, &QPushButton::clicked, this, [this] {
        if (OnClick) {
            RunHandler(OnClick);
        }
    });
}

void TButton::keyPressEvent(QKeyEvent* event) {
    bool forward = false;
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
        forward = true;
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        break;
    default:
        return QPushButton::keyPressEvent(event);
    }
    if (QWidget* next = SiblingInTabOrder(this, forward)) {
        next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }
    event->accept();
}

} // namespace ui

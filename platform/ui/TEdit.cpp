#include "platform/ui/TEdit.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>

namespace ui {

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {}

void TEdit::ChangeText(const QString& text) {
    if (text == this->text() && cursorPosition() == 0 && !hasSelectedText()) {
        return;
    }
    setText(text);
    setCursorPosition(0);
}

void TEdit::TypeChar(QChar c) {
    const int key = c == u'\b' ? int(Qt::Key_Backspace) : int(c.toUpper().unicode());
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(this, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(this, &release);
}

void TEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::MouseFocusReason) {
        selectAll();
    }
}

void TEdit::focusOutEvent(QFocusEvent* event) {
    const int start = selectionStart();
    const int length = selectionLength();
    const int caret = cursorPosition();
    QLineEdit::focusOutEvent(event);
    if (length > 0) {
        // Keep the selection with the caret at the end it had.
        if (caret == start) {
            setSelection(start + length, -length);
        } else {
            setSelection(start, length);
        }
    }
}

} // namespace ui

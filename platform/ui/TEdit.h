#pragma once

#include <QLineEdit>

namespace ui {

// A one-line text field with the classic edit control's focus behaviour: it selects its whole
// text when it receives the focus other than by a mouse press, and it keeps its selection and
// caret when it loses the focus, so characters delivered to it later replace the selection.
class TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget* parent = nullptr);

    // Shows `text` from its beginning (the caret at the start, no selection), and does nothing
    // when that is what the field shows already: a clock writing the same date every second
    // repaints nothing. Plain setText() keeps the toolkit's rule (caret at the end, always).
    void ChangeText(const QString& text);

    // Delivers a character as if typed on the keyboard (backspace included), without moving
    // the focus.
    void TypeChar(QChar c);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace ui

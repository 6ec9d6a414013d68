#pragma once

#include <QPushButton>
#include <functional>

namespace ui {

// A push button whose OnClick runs through the error box. As on the classic desktop, the arrow
// keys move the focus among the focusable controls of the button's own parent, in tab order,
// wrapping round.
class TButton : public QPushButton {
    Q_OBJECT
public:
    explicit TButton(QWidget* parent = nullptr);

    std::function<void()> OnClick;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace ui

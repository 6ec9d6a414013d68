#pragma once

// The spin entry's inner state, for tests: the repeat timer of a button, the button of a pair
// that has the focus frame, the entry's text rectangle. Outside the controls' surface: the
// program never includes this header.

#include "widgets/Spin.h"

#include <QRect>

struct TSpinProbe {
    // Created at the button's first press; null before.
    static ui::TTimer* RepeatTimer(const TTimerSpeedButton& button) { return button.repeatTimer_; }
    // The button that Space clicks and that shows the focus frame; the up button at first.
    static TTimerSpeedButton* FocusedButton(const TSpinButton& pair) { return pair.focusedButton_; }
    // The text rectangle within the client area (right and bottom edges excluded).
    static QRect TextRect(const TSpinEdit& edit) { return edit.textRect_; }
};

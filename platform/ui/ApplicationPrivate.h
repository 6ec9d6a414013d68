#pragma once

// What the tests read of the application's state.

namespace ui {

// An error box is being shown.
bool ErrorBoxOpen();
// How many beeps were given so far.
int BeepCount();

} // namespace ui

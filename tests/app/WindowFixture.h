#pragma once

// The real main window, offscreen, whose port list and device directory are trees of the
// test's own: an empty tty class directory, and a device directory holding a pseudo-terminal
// linked as "ttyV0". Nothing here touches a port of the machine.

#include "app/Main.h"
#include "tests/support/ErrorBoxes.h"
#include "tests/support/SerialPty.h"

#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates, shows and activates the window (again, for tests that need a fresh one).
    void CreateWindow();
    // Runs the event loop for the given time.
    static void Pump(int milliseconds);

    // The window's two run states, as its controls, port and preview timers show them.
    bool Running() const;
    bool Idle() const;
    // START and STOP clicked with the mouse.
    void Start();
    void Stop();

    std::unique_ptr<SerialPty> pty_;
    TempDir ttyClass_;
    std::unique_ptr<TMainForm> form_;

private:
    std::string previousTtyClass_;
    std::string previousDev_;
};

} // namespace testsupport

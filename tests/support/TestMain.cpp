// Test main: one QApplication for the whole test program, on the offscreen platform, with the
// error box replaced by a recorder so that no modal box ever waits for a click.
#include "tests/support/ErrorBoxes.h"

#include "platform/ui/Startup.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ui::TStartup startup(argc, argv, ui::TPlatform::Offscreen);
    testsupport::ErrorBoxes::Install();
    return RUN_ALL_TESTS();
}

// Test main: one QApplication for the whole test program, on the offscreen platform, with the
// error box replaced by a recorder so that no modal box ever waits for a click.
#include "tests/support/ErrorBoxes.h"

#include "platform/ui/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    ui::InitApplication();
    testsupport::ErrorBoxes::Install();
    return RUN_ALL_TESTS();
}

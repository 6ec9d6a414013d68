#pragma once

// The window fixture with what long runs and fault runs look at: the window's run state, what
// reached the line, and the process's open descriptors and threads.

#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TTimer.h"
#include "serial/BCPort.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/EventLoop.h"

#include <QTest>
#include <dirent.h>
#include <string>

namespace testsupport {

class ReliabilityTest : public WindowTest {
protected:
    // Entries of a /proc directory (the descriptor the listing itself uses included, the same
    // on every call).
    static int CountEntries(const char* path) {
        DIR* dir = opendir(path);
        if (dir == nullptr) {
            return -1;
        }
        int count = 0;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
        return count;
    }
    static int OpenDescriptors() { return CountEntries("/proc/self/fd"); }
    static int Threads() { return CountEntries("/proc/self/task"); }

    std::string Errors() const { return ErrorBoxes::Texts().join('\n').toStdString(); }
};

} // namespace testsupport

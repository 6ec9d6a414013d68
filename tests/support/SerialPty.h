#pragma once

// Serial test fixtures: pseudo-terminals standing in for a port, linked under a name in a
// device directory of the test's own, and port-list trees. Nothing here ever opens a port of
// the machine.

#include "tests/support/TempDir.h"

#include <chrono>
#include <memory>
#include <string>
#include <termios.h>
#include <vector>

namespace testsupport {

// A pseudo-terminal whose slave is linked as <Directory()>/<name>. While the object lives,
// comm's device directory points at Directory(), so a port named `name` opens the slave.
// Given a directory, the link goes there instead and comm's directory is left alone.
class SerialPty {
public:
    explicit SerialPty(const std::string& name = "ttyV0", const std::string& directory = "");
    ~SerialPty();
    SerialPty(const SerialPty&) = delete;
    SerialPty& operator=(const SerialPty&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Directory() const { return directory_; }
    const std::string& SlavePath() const { return slavePath_; }
    std::string LinkPath() const { return directory_ + "/" + name_; }
    int Master() const { return master_; }

    // The line settings the program gave the slave, as the master side sees them.
    termios MasterSettings() const;
    // Output rate the slave is set to, bit/s (any rate, through termios2).
    unsigned Rate() const;
    // Reads what the program wrote: until count bytes have come or the time is up.
    std::string Read(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Everything that arrives until nothing has come for `quiet`.
    std::string ReadAll(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
    void Write(const std::string& bytes);
    // The other side goes away, as an unplugged adapter does.
    void CloseMaster();

private:
    std::string name_;
    TempDir dir_;
    std::string directory_;
    bool ownDirectory_;
    std::string previousDirectory_;
    std::string slavePath_;
    int master_ = -1;
    int slave_ = -1;
};

// The machine's ports as a test builds them: a sysfs-like tty class tree and a device
// directory, set as the port list's roots and as comm's device directory while the object
// lives (restored after). Pseudo-terminals added are linked in the device directory, so they
// appear in the port list and open under their names.
class SerialPortTree {
public:
    SerialPortTree();
    ~SerialPortTree();
    SerialPortTree(const SerialPortTree&) = delete;
    SerialPortTree& operator=(const SerialPortTree&) = delete;

    // A tty class entry with a device link; without a UART it reads type 0 (left out).
    void AddTty(const std::string& name, bool uart = true);
    SerialPty& AddPty(const std::string& name);
    std::string TtyClassRoot() const { return dir_.Path() + "/class/tty"; }
    std::string DevRoot() const { return dir_.Path() + "/dev"; }

private:
    TempDir dir_;
    std::vector<std::unique_ptr<SerialPty>> ptys_;
    std::string previousTty_, previousDev_, previousDevices_;
};

} // namespace testsupport

#pragma once

// Serial test fixtures: pseudo-terminals standing in for a port, linked under a name in a
// device directory of the test's own, and temporary directories for port-list trees.
// Nothing here ever opens a port of the machine.

#include <chrono>
#include <string>
#include <termios.h>

namespace testsupport {

// A directory under /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    // Creates a sub-directory (and its parents) and returns its path.
    std::string MakeDir(const std::string& relative) const;
    std::string WriteFile(const std::string& relative, const std::string& content) const;
    std::string Link(const std::string& relative, const std::string& target) const;

private:
    std::string path_;
};

// A pseudo-terminal whose slave is linked as <Directory()>/<name>. While the object lives,
// comm's device directory points at Directory(), so a port named `name` opens the slave.
class SerialPty {
public:
    explicit SerialPty(const std::string& name = "ttyV0");
    ~SerialPty();
    SerialPty(const SerialPty&) = delete;
    SerialPty& operator=(const SerialPty&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Directory() const { return dir_.Path(); }
    const std::string& SlavePath() const { return slavePath_; }
    std::string LinkPath() const { return dir_.Path() + "/" + name_; }
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
    std::string previousDirectory_;
    std::string slavePath_;
    int master_ = -1;
    int slave_ = -1;
};

} // namespace testsupport

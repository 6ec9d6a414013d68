#include "platform/ports/PortNames.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace ports {
namespace {

struct Roots {
    std::mutex mutex;
    std::string ttyClass = "/sys/class/tty";
    std::string dev = "/dev";
};

Roots& CurrentRoots() {
    static Roots roots;
    return roots;
}

// Entry names of a directory, sorted; false when it cannot be read.
bool ListDirectory(const std::string& path, std::vector<std::string>& entries) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
    if (!dir)
        return false;
    errno = 0;
    while (dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back(std::move(name));
        errno = 0;
    }
    if (errno != 0)
        return false;
    std::sort(entries.begin(), entries.end());
    return true;
}

// An 8250 port the kernel found no UART for reports type 0 (PORT_UNKNOWN).
bool NoUart(const std::string& entry) {
    std::ifstream type(entry + "/type");
    if (!type)
        return false;
    long value = -1;
    type >> value;
    return type && value == 0;
}

bool IsPseudoTerminal(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143; // Unix98 pty slaves
}

} // namespace

void SetTtyClassRoot(const std::string& root) {
    std::lock_guard lock(CurrentRoots().mutex);
    CurrentRoots().ttyClass = root;
}

std::string TtyClassRoot() {
    std::lock_guard lock(CurrentRoots().mutex);
    return CurrentRoots().ttyClass;
}

void SetDevRoot(const std::string& root) {
    std::lock_guard lock(CurrentRoots().mutex);
    CurrentRoots().dev = root;
}

std::string DevRoot() {
    std::lock_guard lock(CurrentRoots().mutex);
    return CurrentRoots().dev;
}

bool ReadPortNames(std::vector<std::string>& names) {
    return ReadPortNames(TtyClassRoot(), DevRoot(), names);
}

bool ReadPortNames(const std::string& ttyClassRoot, const std::string& devRoot,
                   std::vector<std::string>& names) {
    std::vector<std::string> ttys;
    std::vector<std::string> devs;
    if (!ListDirectory(ttyClassRoot, ttys) || !ListDirectory(devRoot, devs))
        return false;
    std::vector<std::string> found;
    for (const auto& name : ttys) {
        const std::string entry = ttyClassRoot + "/" + name;
        struct stat st {};
        if (lstat((entry + "/device").c_str(), &st) != 0)
            continue;
        if (NoUart(entry))
            continue;
        found.push_back(name);
    }
    for (const auto& name : devs) {
        if (name.rfind("tty", 0) != 0)
            continue;
        const std::string path = devRoot + "/" + name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            continue;
        if (IsPseudoTerminal(path))
            found.push_back(name);
    }
    names = std::move(found);
    return true;
}

} // namespace ports

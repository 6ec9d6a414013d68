// The roots the port list reads on Linux, as process-wide settings.

#include "platform/ports/PortNames.h"

#include <mutex>

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

void Store(std::string Roots::* root, const std::string& path) {
    std::lock_guard lock(CurrentRoots().mutex);
    CurrentRoots().*root = path;
}

std::string Load(std::string Roots::* root) {
    std::lock_guard lock(CurrentRoots().mutex);
    return CurrentRoots().*root;
}

} // namespace

void SetTtyClassRoot(const std::string& root) {
    Store(&Roots::ttyClass, root);
}

std::string TtyClassRoot() {
    return Load(&Roots::ttyClass);
}

void SetDevRoot(const std::string& root) {
    Store(&Roots::dev, root);
}

std::string DevRoot() {
    return Load(&Roots::dev);
}

bool ReadPortNames(std::vector<std::string>& names) {
    return ReadPortNames(TtyClassRoot(), DevRoot(), names);
}

PortDescription DescribePort(const std::string& name) {
    return DescribePort(TtyClassRoot(), DevRoot(), name);
}

} // namespace ports

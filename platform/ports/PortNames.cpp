#include "platform/ports/PortNames.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
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

// UART names of the serial core's port types, by type number.
constexpr const char* kUartTypes[] = {
    "",        "8250",     "16450",      "16550",   "16550A",  "Cirrus", "ST16650",  "ST16650V2",
    "TI16750", "Startech", "16C950/954", "ST16654", "XR16850", "RSA",    "NS16550A", "XScale",
};

// Longest attribute text kept: USB strings are at most 126 characters.
constexpr std::size_t kMaxAttribute = 256;

// The first line of a sysfs attribute, trimmed, control characters blanked; empty when absent.
std::string ReadAttribute(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::string text(kMaxAttribute, '\0');
    file.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(file.gcount()));
    text = text.substr(0, text.find('\n'));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(realpath(path.c_str(), nullptr), std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// The driver of the hardware behind a port device: the name its "driver" link points to
// (…/bus/<bus>/drivers/<name>). Since Linux 6.5 a serial-core port's device is a port and a
// controller on the "serial-base" bus, bound to that bus's generic drivers, so the hardware's
// own driver is the one of the first parent off that bus.
std::string DriverOf(std::string device) {
    for (int level = 0; level < 3 && !device.empty(); ++level) {
        const std::string driver = RealPath(device + "/driver");
        if (driver.empty())
            return {};
        if (BaseName(Parent(Parent(driver))) != "serial-base")
            return BaseName(driver);
        device = Parent(device);
    }
    return {};
}

// The USB device a port device belongs to: the nearest of its parents with a vendor id (the
// port of a usb-serial converter sits two levels below it, an ACM interface one).
std::string UsbDeviceOf(std::string device) {
    for (int level = 0; level < 4 && !device.empty(); ++level) {
        if (Exists(device + "/idVendor"))
            return device;
        device = Parent(device);
    }
    return {};
}

std::string UartName(const std::string& type) {
    char* end = nullptr;
    const long value = std::strtol(type.c_str(), &end, 10);
    if (end == type.c_str() || *end != '\0')
        return type;
    if (value > 0 && value < long(std::size(kUartTypes)))
        return kUartTypes[value];
    return type;
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

PortDescription DescribePort(const std::string& name) {
    return DescribePort(TtyClassRoot(), DevRoot(), name);
}

PortDescription DescribePort(const std::string& ttyClassRoot, const std::string& devRoot,
                             const std::string& name) {
    PortDescription description;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return description;
    const std::string entry = ttyClassRoot + "/" + name;
    if (Exists(entry + "/device")) {
        const std::string device = RealPath(entry + "/device");
        if (!device.empty())
            description.driver = DriverOf(device);
        if (const std::string usb = device.empty() ? std::string() : UsbDeviceOf(device);
            !usb.empty()) {
            description.kind = PortDescription::Usb;
            description.manufacturer = ReadAttribute(usb + "/manufacturer");
            description.product = ReadAttribute(usb + "/product");
            description.serial = ReadAttribute(usb + "/serial");
        } else if (const std::string type = ReadAttribute(entry + "/type"); !type.empty()) {
            description.kind = PortDescription::Uart;
            description.uartType = UartName(type);
        }
        return description;
    }
    const std::string link = devRoot + "/" + name;
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && IsPseudoTerminal(link)) {
        description.kind = PortDescription::PseudoTerminal;
        description.target = RealPath(link);
    }
    return description;
}

} // namespace ports

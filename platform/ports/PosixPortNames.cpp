// The port names and descriptions on Linux: the tty class directory of sysfs and the device
// directory.

#include "platform/ports/PortNames.h"

#include "platform/base/PseudoTerminal.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ports {
namespace {

namespace fs = std::filesystem;

// Entry names of a directory in byte order (a stable order that does not hang on the
// locale); false when it cannot be read.
bool ListDirectory(const std::string& path, std::vector<std::string>& entries) {
    std::error_code error;
    fs::directory_iterator entry(path, error);
    for (const fs::directory_iterator end; !error && entry != end; entry.increment(error)) {
        entries.push_back(entry->path().filename().string());
    }
    if (error) {
        return false;
    }
    std::sort(entries.begin(), entries.end());
    return true;
}

// The entry itself, a symbolic link not followed.
fs::file_status NodeStatus(const std::string& path) {
    std::error_code error;
    return fs::symlink_status(path, error);
}

bool Exists(const std::string& path) {
    return fs::exists(NodeStatus(path));
}

// A symbolic link that leads to a pseudo-terminal: a virtual port.
bool IsPseudoTerminalLink(const std::string& path) {
    return fs::is_symlink(NodeStatus(path)) && base::IsPseudoTerminal(path);
}

// An 8250 port the kernel found no UART for reports type 0 (PORT_UNKNOWN).
bool NoUart(const std::string& entry) {
    std::ifstream type(entry + "/type");
    if (!type) {
        return false;
    }
    long value = -1;
    type >> value;
    return type && value == 0;
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
    if (!file) {
        return {};
    }
    std::string text(kMaxAttribute, '\0');
    file.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(file.gcount()));
    text = text.substr(0, text.find('\n'));
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A sysfs number written in hexadecimal without a prefix ("0600"); -1 when absent or not one.
int HexAttribute(const std::string& path) {
    const std::string text = ReadAttribute(path);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || value < 0 || value > 0xFFFF) {
        return -1;
    }
    return int(value);
}

std::string RealPath(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? std::string() : resolved.string();
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
        if (driver.empty()) {
            return {};
        }
        if (BaseName(Parent(Parent(driver))) != "serial-base") {
            return BaseName(driver);
        }
        device = Parent(device);
    }
    return {};
}

// The USB device and interface a port device belongs to: the nearest of its parents with a
// vendor id, and the nearest one below it with an interface number (a usb-serial converter's
// port sits below its interface, an ACM port's device is the interface itself).
struct UsbParents {
    std::string device;
    std::string interface;
};
UsbParents UsbParentsOf(std::string device) {
    UsbParents usb;
    for (int level = 0; level < 4 && !device.empty(); ++level) {
        if (Exists(device + "/idVendor")) {
            usb.device = device;
            return usb;
        }
        if (usb.interface.empty() && Exists(device + "/bInterfaceNumber")) {
            usb.interface = device;
        }
        device = Parent(device);
    }
    return {};
}

std::string UartName(const std::string& type) {
    char* end = nullptr;
    const long value = std::strtol(type.c_str(), &end, 10);
    if (end == type.c_str() || *end != '\0') {
        return type;
    }
    if (value > 0 && value < long(std::size(kUartTypes))) {
        return kUartTypes[value];
    }
    return type;
}

} // namespace

bool ReadPortNames(const std::string& ttyClassRoot, const std::string& devRoot,
                   std::vector<std::string>& names) {
    std::vector<std::string> ttys;
    std::vector<std::string> devs;
    if (!ListDirectory(ttyClassRoot, ttys) || !ListDirectory(devRoot, devs)) {
        return false;
    }
    std::vector<std::string> found;
    for (const auto& name : ttys) {
        const std::string entry = ttyClassRoot + "/" + name;
        if (Exists(entry + "/device") && !NoUart(entry)) {
            found.push_back(name);
        }
    }
    for (const auto& name : devs) {
        if (name.rfind("tty", 0) == 0 && IsPseudoTerminalLink(devRoot + "/" + name)) {
            found.push_back(name);
        }
    }
    names = std::move(found);
    return true;
}

PortDescription DescribePort(const std::string& ttyClassRoot, const std::string& devRoot,
                             const std::string& name) {
    PortDescription description;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        return description;
    }
    const std::string entry = ttyClassRoot + "/" + name;
    if (Exists(entry + "/device")) {
        const std::string device = RealPath(entry + "/device");
        if (!device.empty()) {
            description.driver = DriverOf(device);
        }
        if (const UsbParents parents = device.empty() ? UsbParents() : UsbParentsOf(device);
            !parents.device.empty()) {
            const std::string& usb = parents.device;
            description.kind = PortDescription::Usb;
            description.manufacturer = ReadAttribute(usb + "/manufacturer");
            description.product = ReadAttribute(usb + "/product");
            description.serial = ReadAttribute(usb + "/serial");
            description.usbVendor = HexAttribute(usb + "/idVendor");
            description.usbProduct = HexAttribute(usb + "/idProduct");
            description.usbRevision = HexAttribute(usb + "/bcdDevice");
            if (!parents.interface.empty()) {
                description.usbInterface = HexAttribute(parents.interface + "/bInterfaceNumber");
            }
        } else if (const std::string type = ReadAttribute(entry + "/type"); !type.empty()) {
            description.kind = PortDescription::Uart;
            description.uartType = UartName(type);
        }
        return description;
    }
    const std::string link = devRoot + "/" + name;
    if (IsPseudoTerminalLink(link)) {
        description.kind = PortDescription::PseudoTerminal;
        description.target = RealPath(link);
    }
    return description;
}

AdapterRates AdapterRatesOfDevice(const std::string& devicePath) {
    std::error_code error;
    const fs::path node = fs::canonical(devicePath, error);
    const std::string name = (error ? fs::path(devicePath) : node).filename().string();
    return AdapterRatesOf(DescribePort(name));
}

} // namespace ports

#include "tests/support/SysfsTree.h"

#include <cstdio>
#include <filesystem>

namespace testsupport {
namespace {

void Attribute(const TempDir& dir, const std::string& device, const char* name,
               const std::string& value) {
    if (!value.empty()) {
        dir.WriteFile(device + "/" + name, value + "\n");
    }
}

// sysfs writes USB ids in hex, zero-padded; empty (left out) for -1.
std::string Hex(int value, int digits) {
    if (value < 0) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, unsigned(value));
    return text;
}

} // namespace

SysfsTree::SysfsTree(std::string classRoot) : classRoot_(std::move(classRoot)) {
    std::filesystem::create_directories(classRoot_);
}

void SysfsTree::Entry(const std::string& name, const std::string& device,
                      const std::string& driver) {
    // <device>/tty/<name> is the class entry; its "device" link leads back to the port device,
    // whose "driver" link names the driver. (sysfs links are relative; absolute ones resolve
    // the same.)
    const std::string tty = dir_.MakeDir(device + "/tty/" + name);
    std::filesystem::create_symlink(dir_.Path() + "/" + device, tty + "/device");
    const std::string driverLink = dir_.Path() + "/" + device + "/driver";
    if (!std::filesystem::is_symlink(driverLink)) {
        std::filesystem::create_symlink(dir_.MakeDir("bus/" + driver), driverLink);
    }
    std::filesystem::create_symlink(tty, classRoot_ + "/" + name);
}

std::string SysfsTree::UsbDevice(const UsbIds& ids, const std::string& manufacturer,
                                 const std::string& product, const std::string& serial) {
    const std::string number = std::to_string(++usbDevices_);
    const std::string usb = "devices/pci0000:00/0000:00:14.0/usb1/1-" + number;
    Attribute(dir_, usb, "idVendor", Hex(ids.vendor, 4));
    Attribute(dir_, usb, "idProduct", Hex(ids.product, 4));
    Attribute(dir_, usb, "bcdDevice", Hex(ids.revision, 4));
    Attribute(dir_, usb, "manufacturer", manufacturer);
    Attribute(dir_, usb, "product", product);
    Attribute(dir_, usb, "serial", serial);
    const std::string interface = usb + "/1-" + number + ":1." + std::to_string(ids.interface);
    Attribute(dir_, interface, "bInterfaceNumber", Hex(ids.interface, 2));
    return interface;
}

void SysfsTree::UsbSerial(const std::string& name, const std::string& driver,
                          const std::string& manufacturer, const std::string& product,
                          const std::string& serial, int revision) {
    UsbIds ids{-1, -1, revision};
    if (driver == "ftdi_sio") {
        ids = {0x0403, 0x6001, revision};
    } else if (driver == "pl2303") {
        ids = {0x067B, 0x2303, revision};
    }
    const std::string interface = UsbDevice(ids, manufacturer, product, serial);
    Entry(name, interface + "/" + name, "usb-serial/drivers/" + driver);
}

void SysfsTree::UsbAcm(const std::string& name, const std::string& manufacturer,
                       const std::string& product, const std::string& serial) {
    Entry(name, UsbDevice({0x2341, 0x0043}, manufacturer, product, serial), "usb/drivers/cdc_acm");
}

void SysfsTree::UsbPort(const std::string& name, const std::string& driver, const UsbIds& ids) {
    const std::string interface = UsbDevice(ids);
    if (driver == "cdc_acm") {
        Entry(name, interface, "usb/drivers/cdc_acm");
    } else {
        Entry(name, interface + "/" + name, "usb-serial/drivers/" + driver);
    }
}

void SysfsTree::Uart8250(const std::string& name, const std::string& type) {
    const std::string device = "devices/platform/serial8250";
    Entry(name, device, "platform/drivers/serial8250");
    dir_.WriteFile(device + "/tty/" + name + "/type", type + "\n");
}

void SysfsTree::SerialBase8250(const std::string& name, const std::string& type) {
    const std::string pnp = "devices/pnp0/00:0" + std::to_string(++pnpDevices_);
    const std::string ctrl = pnp + "/" + pnp.substr(pnp.find_last_of('/') + 1) + ":0";
    const std::string port = ctrl + "/" + ctrl.substr(ctrl.find_last_of('/') + 1) + ".0";
    Entry(name, port, "serial-base/drivers/port");
    for (const auto& [device, driver] :
         {std::pair{ctrl, "serial-base/drivers/ctrl"}, std::pair{pnp, "pnp/drivers/serial"}}) {
        std::filesystem::create_symlink(dir_.MakeDir("bus/" + std::string(driver)),
                                        dir_.Path() + "/" + device + "/driver");
    }
    dir_.WriteFile(port + "/tty/" + name + "/type", type + "\n");
}

} // namespace testsupport

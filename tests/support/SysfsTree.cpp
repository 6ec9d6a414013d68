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

std::string SysfsTree::UsbDevice(const std::string& manufacturer, const std::string& product,
                                 const std::string& serial, int revision) {
    const std::string usb =
        "devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(++usbDevices_);
    dir_.WriteFile(usb + "/idVendor", "0403\n");
    if (revision >= 0) {
        char text[16];
        std::snprintf(text, sizeof text, "%04x\n", unsigned(revision) & 0xFFFFu);
        dir_.WriteFile(usb + "/bcdDevice", text);
    }
    Attribute(dir_, usb, "manufacturer", manufacturer);
    Attribute(dir_, usb, "product", product);
    Attribute(dir_, usb, "serial", serial);
    return usb + "/1-" + std::to_string(usbDevices_) + ":1.0";
}

void SysfsTree::UsbSerial(const std::string& name, const std::string& driver,
                          const std::string& manufacturer, const std::string& product,
                          const std::string& serial, int revision) {
    const std::string interface = UsbDevice(manufacturer, product, serial, revision);
    Entry(name, interface + "/" + name, "usb-serial/drivers/" + driver);
}

void SysfsTree::UsbAcm(const std::string& name, const std::string& manufacturer,
                       const std::string& product, const std::string& serial) {
    Entry(name, UsbDevice(manufacturer, product, serial), "usb/drivers/cdc_acm");
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

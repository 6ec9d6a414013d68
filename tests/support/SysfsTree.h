#pragma once

// Port devices as sysfs shows them, built in a directory of the test's own: the device under
// "devices/", its driver under "bus/", and its tty class entry as a link in a class directory.

#include "tests/support/SerialPty.h"

#include <string>

namespace testsupport {

class SysfsTree {
public:
    // classRoot: the tty class directory the entries are linked in (made when missing).
    explicit SysfsTree(std::string classRoot);

    // A USB device's ids (idVendor, idProduct, bcdDevice; -1 leaves one out) and the number of
    // the port's interface.
    struct UsbIds {
        int vendor = -1;
        int product = -1;
        int revision = -1;
        int interface = 0;
    };

    // A usb-serial converter's port (ftdi_sio, pl2303, ...) below its interface, two levels
    // below its USB device, with the ids of the driver's usual chip (FTDI FT232R's, Prolific
    // PL2303's); empty strings leave the attribute out, and so does a revision of -1.
    void UsbSerial(const std::string& name, const std::string& driver,
                   const std::string& manufacturer, const std::string& product,
                   const std::string& serial, int revision = -1);
    // A CDC ACM port (an Arduino Uno's ids): the tty's device is the USB interface itself.
    void UsbAcm(const std::string& name, const std::string& manufacturer,
                const std::string& product, const std::string& serial);
    // A port of either kind (driver "cdc_acm" for ACM) with the given ids and no strings.
    void UsbPort(const std::string& name, const std::string& driver, const UsbIds& ids);
    // A built-in 8250 port with its UART type number.
    void Uart8250(const std::string& name, const std::string& type);
    // The same as Linux 6.5 and later show it: the tty's device is a serial-base port below a
    // serial-base controller below the PnP device that the 8250 driver ("serial") is bound to.
    void SerialBase8250(const std::string& name, const std::string& type);

private:
    void Entry(const std::string& name, const std::string& device, const std::string& driver);
    // A USB device with its strings; returns the port's interface.
    std::string UsbDevice(const UsbIds& ids, const std::string& manufacturer = {},
                          const std::string& product = {}, const std::string& serial = {});

    TempDir dir_;
    std::string classRoot_;
    int usbDevices_ = 0;
    int pnpDevices_ = 0;
};

} // namespace testsupport

#pragma once

// Where the system keeps the names of the serial ports (PosixPortNames.cpp,
// WindowsPortNames.cpp).
//
// Windows: the value data of the serial device map (the key HARDWARE\DEVICEMAP\SERIALCOMM
// of HKEY_LOCAL_MACHINE), e.g. "COM1"; the roots below are not read there.
//
// Linux: every entry of the tty class directory that has a "device" link, except ports whose
// "type" file reads 0 (an 8250 port with no UART behind it), plus every "tty*" symbolic link of
// the device directory that points to a pseudo-terminal (virtual ports such as socat's
// "pty,link=/dev/ttyV0"). Names come without the directory, e.g. "ttyUSB0".
//
// The roots are process-wide settings (defaults "/sys/class/tty" and "/dev"), so tests and
// the main window's end-to-end tests can point the source at trees of their own.

#include <cstdint>
#include <string>
#include <vector>

namespace ports {

void SetTtyClassRoot(const std::string& root);
std::string TtyClassRoot();
void SetDevRoot(const std::string& root);
std::string DevRoot();

// The names in a stable order: Windows' in the device map's order; Linux's tty class entries
// first, each group ordered by name. False when the source cannot be read (the key, a root, a
// value of the key); names is then left as it was.
bool ReadPortNames(std::vector<std::string>& names);
bool ReadPortNames(const std::string& ttyClassRoot, const std::string& devRoot,
                   std::vector<std::string>& names);

// What the system tells about a listed port, so that an operator can tell adapters apart.
// Strings are the attributes' own bytes (trimmed, control characters blanked); empty when the
// system has no such attribute.
struct PortDescription {
    // Virtual: a port with no hardware behind it that is not a pseudo-terminal link, such as
    // Windows' ports of virtual port drivers and Wine's.
    enum Kind { Unknown, Usb, Uart, PseudoTerminal, Bluetooth, Virtual };
    Kind kind = Unknown;
    std::string manufacturer; // USB adapters: the device's strings
    std::string product;
    std::string serial;
    std::string driver;   // the port device's driver, e.g. "ftdi_sio", "serial8250"
    std::string uartType; // serial-core ports: the UART, e.g. "16550A" (a number when unknown)
    std::string target;   // pseudo-terminal links: the terminal, e.g. "/dev/pts/3"
    // USB adapters: the key of the adapter table (AdapterRatesOf); -1 where unknown. Linux:
    // sysfs (idVendor, idProduct, bcdDevice, bInterfaceNumber); Windows: the hardware ids.
    int usbVendor = -1;
    int usbProduct = -1;
    int usbRevision = -1;  // the device's release number (bcdDevice)
    int usbInterface = -1; // the interface the port belongs to (bInterfaceNumber)
};

// Linux: a tty class entry of the name is described from its sysfs attributes, else a device
// directory link from its target. Windows: the port of the ports class whose device key has
// the name as its PortName, as the device manager shows it (its friendly name as product, its
// maker, its driver service; its kind from the bus that enumerates it), and a name of the
// serial device map with no such device is a virtual port. A name found nowhere gives kind
// Unknown.
PortDescription DescribePort(const std::string& name);
PortDescription DescribePort(const std::string& ttyClassRoot, const std::string& devRoot,
                             const std::string& name);

// What an adapter can put on the line, from one table of USB-serial chips keyed by vendor,
// product, release number and interface, the same on both systems. It names the chips whose
// driver takes a rate or a framing the chip cannot make and runs the line at something else
// without a word (ftdi_sio computes a divisor without a range check: 110 bit/s comes out near
// 275; CP2101-3 run every rate from 57 to 300 bit/s at 300). What the table does not know is
// left to the read-back of the line settings.
struct AdapterRates {
    enum Rule : std::uint8_t {
        rAny,          // no known limit
        rFtdiDivisor,  // a 14-bit divisor of 3 MHz, in eighths
        rFtdiSioTable, // the oldest FTDI chip: a table of ten standard rates, 300 … 115200
        rFloor,        // every rate from the lowest up
    };
    enum Framing : std::uint8_t {
        fAny, // every framing a DCB can ask for
        f8N1, // 8 data bits, no parity, 1 stop bit only
    };
    Rule rule = rAny;
    Framing framing = fAny;
    unsigned floor = 0; // rFloor: the lowest rate
    std::string chip;   // e.g. "FT232R", "CP2105 SCI"; empty when the table does not know it

    bool Makes(unsigned rate) const;
    // The lowest whole rate the adapter makes; 0 without a known limit.
    unsigned Lowest() const;
    // A frame as a DCB gives it: data bits, and the system's parity (NOPARITY 0 … SPACEPARITY
    // 4) and stop-bit codes (ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2).
    bool MakesFrame(unsigned dataBits, unsigned parity, unsigned stopBits) const;
    // The generator's frame: 8 data bits, even parity, 2 stop bits.
    bool Makes8E2() const { return MakesFrame(8, 2, 2); }
};

AdapterRates AdapterRatesOf(const PortDescription& description);
// The adapter behind a device path. Linux: the tty class entry named like the node the path
// leads to (so a link such as "/dev/ttyV0" -> "ttyUSB0" counts as ttyUSB0). Windows: the port
// named by the path's last part ("\\.\COM9" -> COM9).
AdapterRates AdapterRatesOfDevice(const std::string& devicePath);

} // namespace ports

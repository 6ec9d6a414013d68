// The Linux port-name source over built directory trees.
#include "platform/ports/PortNames.h"
#include "tests/support/SerialPty.h"
#include "tests/support/SysfsTree.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::SerialPty;
using testsupport::TempDir;

namespace {

// A sysfs-like tty class tree: entries with or without a device link, with a type file.
struct Tree {
    TempDir dir;
    std::string tty = dir.MakeDir("class/tty");
    std::string dev = dir.MakeDir("dev");

    void Tty(const std::string& name, bool device, const char* type = nullptr) {
        dir.MakeDir("class/tty/" + name);
        if (device) {
            dir.Link("class/tty/" + name + "/device", "../../devices/" + name);
        }
        if (type != nullptr) {
            dir.WriteFile("class/tty/" + name + "/type", type);
        }
    }
};

TEST(PortNamesTest, TtyEntriesWithADeviceExceptUartlessOnes) {
    Tree tree;
    tree.Tty("ttyS1", true, "4\n");
    tree.Tty("ttyS0", true, "0\n"); // 8250 port with no UART behind it
    tree.Tty("ttyUSB0", true);
    tree.Tty("tty5", false); // a virtual console: no device
    tree.Tty("ttyS2", true, "0");
    tree.Tty("ttyACM0", true);
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    EXPECT_THAT(names, ElementsAre("ttyACM0", "ttyS1", "ttyUSB0"));
}

TEST(PortNamesTest, DevLinksToPseudoTerminalsAreListed) {
    Tree tree;
    SerialPty a("unused-a"), b("unused-b");
    tree.dir.Link("dev/ttyV1", b.SlavePath());
    tree.dir.Link("dev/ttyV0", a.SlavePath());
    tree.dir.Link("dev/modem", a.SlavePath());            // not a tty* name
    tree.dir.Link("dev/ttyNull", "/dev/null");            // not a pseudo-terminal
    tree.dir.Link("dev/ttyDangling", "/nonexistent/pts"); // broken link
    tree.dir.WriteFile("dev/ttyFile", "");                // not a link
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    EXPECT_THAT(names, ElementsAre("ttyV0", "ttyV1"));
}

TEST(PortNamesTest, EachGroupIsInByteOrder) {
    Tree tree;
    for (const char* name : {"ttyS10", "ttyacm0", "ttyS2", "ttyUSB0", "ttyA0", "tty_1"}) {
        tree.Tty(name, true);
    }
    SerialPty a("unused-a"), b("unused-b");
    tree.dir.Link("dev/ttyv0", a.SlavePath());
    tree.dir.Link("dev/ttyV1", b.SlavePath());
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    // Capitals before small letters, "1" before "2" before "_": the bytes, not the locale.
    EXPECT_THAT(names, ElementsAre("ttyA0", "ttyS10", "ttyS2", "ttyUSB0", "tty_1", "ttyacm0",
                                   "ttyV1", "ttyv0"));
}

TEST(PortNamesTest, OnlyDirectoriesAreSourcesAndOnlyLinksToPtysArePorts) {
    Tree tree;
    SerialPty a("unused-a");
    tree.dir.MakeDir("dev/ttyDir");                      // a directory
    tree.dir.Link("dev/ttyToDir", tree.dev + "/ttyDir"); // a link to one
    tree.dir.Link("dev/ttyHop", tree.dev + "/ttyPty");   // a link to a link to a pty
    tree.dir.Link("dev/ttyPty", a.SlavePath());
    tree.dir.Link("dev/ttyLoop", tree.dev + "/ttyLoop"); // a link to itself
    tree.Tty("ttyDangling", false);
    tree.dir.Link("class/tty/ttyDangling/device", "../../nowhere"); // dangling counts
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    EXPECT_THAT(names, ElementsAre("ttyDangling", "ttyHop", "ttyPty"));

    const std::string file = tree.dir.WriteFile("plain", "x");
    names = {"old"};
    EXPECT_FALSE(ports::ReadPortNames(file, tree.dev, names));
    EXPECT_FALSE(ports::ReadPortNames(tree.tty, file, names));
    EXPECT_FALSE(ports::ReadPortNames("", tree.dev, names));
    EXPECT_THAT(names, ElementsAre("old"));
}

TEST(PortNamesTest, EmptyAndUnreadableSources) {
    Tree tree;
    std::vector<std::string> names{"old"};
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    EXPECT_THAT(names, IsEmpty());

    names = {"old"};
    EXPECT_FALSE(ports::ReadPortNames(tree.dir.Path() + "/missing", tree.dev, names));
    EXPECT_FALSE(ports::ReadPortNames(tree.tty, tree.dir.Path() + "/missing", names));
    EXPECT_THAT(names, ElementsAre("old"));
}

TEST(PortNamesTest, ProcessWideRootsAreSettable) {
    Tree tree;
    tree.Tty("ttyUSB3", true);
    const std::string tty = ports::TtyClassRoot(), dev = ports::DevRoot();
    EXPECT_EQ(tty, "/sys/class/tty");
    EXPECT_EQ(dev, "/dev");
    ports::SetTtyClassRoot(tree.tty);
    ports::SetDevRoot(tree.dev);
    std::vector<std::string> names;
    EXPECT_TRUE(ports::ReadPortNames(names));
    EXPECT_THAT(names, ElementsAre("ttyUSB3"));
    ports::SetTtyClassRoot(tty);
    ports::SetDevRoot(dev);
}

} // namespace

namespace {

// Descriptions from the sysfs attributes of built device trees and from device links.
class DescribePortTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string tty = dir.MakeDir("class/tty");
    std::string dev = dir.MakeDir("dev");
    testsupport::SysfsTree sysfs{tty};

    ports::PortDescription Describe(const std::string& name) const {
        return ports::DescribePort(tty, dev, name);
    }
};

TEST_F(DescribePortTest, UsbAdaptersGiveTheirDevicesStringsAndTheDriver) {
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "FTDI", "FT232R USB UART", "A50285BI");
    sysfs.UsbSerial("ttyUSB1", "pl2303", "", "USB-Serial Controller", "");
    sysfs.UsbAcm("ttyACM0", "Arduino (www.arduino.cc)", "Uno", "85734323");
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(tty, dev, names));
    EXPECT_THAT(names, ElementsAre("ttyACM0", "ttyUSB0", "ttyUSB1"));

    const struct {
        const char* name;
        const char* manufacturer;
        const char* product;
        const char* serial;
        const char* driver;
    } expected[] = {
        {"ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI", "ftdi_sio"},
        {"ttyUSB1", "", "USB-Serial Controller", "", "pl2303"},
        {"ttyACM0", "Arduino (www.arduino.cc)", "Uno", "85734323", "cdc_acm"},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const ports::PortDescription usb = Describe(e.name);
        EXPECT_EQ(usb.kind, ports::PortDescription::Usb);
        EXPECT_EQ(usb.manufacturer, e.manufacturer);
        EXPECT_EQ(usb.product, e.product);
        EXPECT_EQ(usb.serial, e.serial);
        EXPECT_EQ(usb.driver, e.driver);
        EXPECT_EQ(usb.uartType, "");
    }
}

TEST_F(DescribePortTest, BuiltInPortsGiveTheDriverAndTheUart) {
    sysfs.Uart8250("ttyS1", "4");
    sysfs.Uart8250("ttyS2", "14");
    sysfs.Uart8250("ttyS3", "99");
    const ports::PortDescription s1 = Describe("ttyS1");
    EXPECT_EQ(s1.kind, ports::PortDescription::Uart);
    EXPECT_EQ(s1.driver, "serial8250");
    EXPECT_EQ(s1.uartType, "16550A");
    EXPECT_EQ(s1.manufacturer, "");
    EXPECT_EQ(Describe("ttyS2").uartType, "NS16550A");
    EXPECT_EQ(Describe("ttyS3").uartType, "99"); // a type this table does not name

    // A serial-base port names the driver of the hardware above it, not the bus's own.
    sysfs.SerialBase8250("ttyS0", "4");
    const ports::PortDescription s0 = Describe("ttyS0");
    EXPECT_EQ(s0.kind, ports::PortDescription::Uart);
    EXPECT_EQ(s0.driver, "serial");
    EXPECT_EQ(s0.uartType, "16550A");
}

TEST_F(DescribePortTest, PseudoTerminalLinksGiveTheirTerminal) {
    SerialPty pty("ttyV8", dev);
    const ports::PortDescription link = Describe("ttyV8");
    EXPECT_EQ(link.kind, ports::PortDescription::PseudoTerminal);
    EXPECT_EQ(link.target, pty.SlavePath());
    EXPECT_EQ(link.driver, "");
}

TEST_F(DescribePortTest, AttributesAreTrimmedAndCleanedAndOddNamesDescribeNothing) {
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "  ACME\tCorp ", "", "");
    EXPECT_EQ(Describe("ttyUSB0").manufacturer, "ACME Corp");
    dir.WriteFile("dev/ttyFile", "");
    for (const char* name : {"", "..", "../dev/ttyFile", "ttyNone", "ttyFile"}) {
        SCOPED_TRACE(name);
        const ports::PortDescription none = Describe(name);
        EXPECT_EQ(none.kind, ports::PortDescription::Unknown);
        EXPECT_EQ(none.driver, "");
        EXPECT_EQ(none.target, "");
    }
}

// Which rates an adapter makes: ftdi_sio's chips by their release number, the others by the
// read-back alone.
TEST(AdapterRatesTest, RatesByDriverAndChip) {
    const struct {
        const char* driver;
        int revision;
        const char* chip;
        unsigned rate;
        bool makes;
    } cases[] = {
        {"ftdi_sio", 0x400, "FT232B", 110, false}, // the divisor 27272 needs 15 bits
        {"ftdi_sio", 0x400, "FT232B", 183, false},
        {"ftdi_sio", 0x400, "FT232B", 184, true},
        {"ftdi_sio", 0x400, "FT232B", 300, true},
        {"ftdi_sio", 0x400, "FT232B", 256000, true},
        {"ftdi_sio", 0x200, "FT232A", 110, false},
        {"ftdi_sio", 0x600, "FT232R", 110, false},
        {"ftdi_sio", 0x600, "FT232R", 2400, true},
        {"ftdi_sio", 0x900, "FT232H", 110, false}, // below 1200 the 3 MHz divisor as well
        {"ftdi_sio", 0x900, "FT232H", 600, true},
        {"ftdi_sio", 0x1000, "FT-X", 110, false},
        {"ftdi_sio", -1, "", 110, false}, // no release number: the common divisor rule
        {"ftdi_sio", -1, "", 300, true},
        {"ftdi_sio", 0x100, "SIO", 110, false}, // the oldest chip: its table only
        {"ftdi_sio", 0x100, "SIO", 300, true},
        {"ftdi_sio", 0x100, "SIO", 14400, false},
        {"serial8250", -1, "", 110, true},
        {"pl2303", 0x300, "", 110, true},
        {"", -1, "", 110, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.driver) + " " + std::to_string(c.revision) + " " +
                     std::to_string(c.rate));
        ports::PortDescription description;
        description.driver = c.driver;
        description.usbRevision = c.revision;
        const ports::AdapterRates rates = ports::AdapterRatesOf(description);
        EXPECT_EQ(rates.chip, c.chip);
        EXPECT_EQ(rates.Makes(c.rate), c.makes);
    }
    ports::PortDescription ftdi;
    ftdi.driver = "ftdi_sio";
    EXPECT_EQ(ports::AdapterRatesOf(ftdi).Lowest(), 184u);
    ftdi.usbRevision = 0x100;
    EXPECT_EQ(ports::AdapterRatesOf(ftdi).Lowest(), 300u);
    EXPECT_EQ(ports::AdapterRatesOf(ports::PortDescription{}).Lowest(), 0u);
}

TEST_F(DescribePortTest, AdaptersAreFoundByTheirDeviceNodeAndTheirReleaseNumber) {
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "FTDI", "", "", 0x600);
    sysfs.UsbSerial("ttyUSB1", "ftdi_sio", "FTDI", "", "");
    EXPECT_EQ(Describe("ttyUSB0").usbRevision, 0x600);
    EXPECT_EQ(Describe("ttyUSB1").usbRevision, -1);

    const std::string previous = ports::TtyClassRoot();
    ports::SetTtyClassRoot(tty);
    dir.WriteFile("dev/ttyUSB0", "");
    std::filesystem::create_symlink(dev + "/ttyUSB0", dev + "/ttyLink");
    EXPECT_EQ(ports::AdapterRatesOfDevice(dev + "/ttyUSB0").chip, "FT232R");
    EXPECT_EQ(ports::AdapterRatesOfDevice(dev + "/ttyLink").chip, "FT232R");
    // A name with no node (a simulated line) is looked up as it stands.
    EXPECT_EQ(ports::AdapterRatesOfDevice(dev + "/ttyUSB1").rule,
              ports::AdapterRates::rFtdiDivisor);
    EXPECT_EQ(ports::AdapterRatesOfDevice(dev + "/ttyNone").rule, ports::AdapterRates::rAny);
    ports::SetTtyClassRoot(previous);
}

} // namespace

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

// The adapter table: each chip at the generator's five rates and its frame, by its USB ids.
TEST(AdapterRatesTest, EachChipAtTheFiveRatesAndEightDataBitsEvenParityTwoStopBits) {
    constexpr unsigned kRates[] = {110, 300, 600, 1200, 2400};
    const struct {
        int vendor, product, revision, interface;
        const char* chip;
        const char* makes; // at each rate, then 8E2: '+' made, '-' not
        unsigned lowest;
    } cases[] = {
        {0x0403, 0x6001, 0x0400, 0, "FT232B", "-++++ +", 184}, // 110 needs a 15-bit divisor
        {0x0403, 0x6001, 0x0600, 0, "FT232R", "-++++ +", 184},
        {0x0403, 0x6010, 0x0700, 1, "FT2232H", "-++++ +", 184},
        {0x0403, 0x6011, 0x0800, 3, "FT4232H", "-++++ +", 184},
        {0x0403, 0x6014, 0x0900, 0, "FT232H", "-++++ +", 184},
        {0x0403, 0x6015, 0x1000, 0, "FT-X", "-++++ +", 184},
        {0x0403, 0x6001, -1, -1, "FTDI", "-++++ +", 184}, // release unknown: the common rule
        {0x0403, 0x8372, 0x0100, 0, "SIO", "-++++ +", 300},
        {0x10C4, 0xEA60, 0x0100, 0, "CP210x", "-++++ +", 300},
        {0x10C4, 0xEA70, 0x0100, 0, "CP2105 ECI", "-++++ +", 300},
        {0x10C4, 0xEA70, 0x0100, 1, "CP2105 SCI", "----+ +", 2400},
        {0x10C4, 0xEA70, 0x0100, -1, "CP2105", "----+ +", 2400},
        {0x04D8, 0x00DF, 0x0101, 0, "MCP2200", "-++++ -", 300},
        {0x04D8, 0x00DD, 0x0100, 0, "MCP2221", "-++++ +", 300},
        {0x067B, 0x2303, 0x0300, 0, "PL2303", "+++++ +", 0},
        {0x067B, 0x23A3, 0x0605, 0, "PL2303G", "+++++ +", 0},
        {0x1A86, 0x7523, 0x0264, 0, "CH340", "+++++ +", 0},
        {0x1A86, 0x5523, 0x0304, 0, "CH341", "+++++ +", 0},
        {0x1A86, 0x55D3, 0x0445, 0, "CH343", "+++++ +", 0},
        {0x1A86, 0x55D4, 0x0442, 0, "CH9102", "+++++ +", 0},
        {0x2341, 0x0043, 0x0001, 0, "", "+++++ +", 0}, // a CDC-ACM device: the read-back decides
        {0x10C4, 0xEA71, 0x0100, 0, "", "+++++ +", 0},
        {-1, -1, -1, -1, "", "+++++ +", 0}, // not USB
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chip);
        ports::PortDescription description;
        description.usbVendor = c.vendor;
        description.usbProduct = c.product;
        description.usbRevision = c.revision;
        description.usbInterface = c.interface;
        const ports::AdapterRates rates = ports::AdapterRatesOf(description);
        std::string makes;
        for (const unsigned rate : kRates) {
            makes += rates.Makes(rate) ? '+' : '-';
        }
        makes += rates.Makes8E2() ? " +" : " -";
        EXPECT_EQ(rates.chip, c.chip);
        EXPECT_EQ(makes, c.makes);
        EXPECT_EQ(rates.Lowest(), c.lowest);
    }
    // The edges: FTDI's lowest divisor, the SIO's table, the MCP2200's one frame.
    ports::PortDescription ftdi;
    ftdi.usbVendor = 0x0403;
    ftdi.usbRevision = 0x600;
    EXPECT_FALSE(ports::AdapterRatesOf(ftdi).Makes(183));
    EXPECT_TRUE(ports::AdapterRatesOf(ftdi).Makes(256000));
    ftdi.usbRevision = 0x100;
    EXPECT_FALSE(ports::AdapterRatesOf(ftdi).Makes(14400));
    ports::PortDescription mcp2200;
    mcp2200.usbVendor = 0x04D8;
    mcp2200.usbProduct = 0x00DF;
    EXPECT_TRUE(ports::AdapterRatesOf(mcp2200).MakesFrame(8, 0, 0));
    EXPECT_FALSE(ports::AdapterRatesOf(mcp2200).MakesFrame(7, 0, 0));
    EXPECT_FALSE(ports::AdapterRatesOf(mcp2200).MakesFrame(8, 0, 2));
}

TEST_F(DescribePortTest, TheUsbIdsComeFromTheDeviceAndTheInterface) {
    using Ids = testsupport::SysfsTree::UsbIds;
    sysfs.UsbPort("ttyUSB0", "ftdi_sio", Ids{0x0403, 0x6001, 0x0600, 0});
    sysfs.UsbPort("ttyUSB1", "cp210x", Ids{0x10C4, 0xEA70, 0x0100, 1});
    sysfs.UsbPort("ttyACM0", "cdc_acm", Ids{0x04D8, 0x00DF, 0x0101, 0});
    const struct {
        const char* name;
        Ids ids;
        const char* chip;
    } expected[] = {
        {"ttyUSB0", {0x0403, 0x6001, 0x0600, 0}, "FT232R"},
        {"ttyUSB1", {0x10C4, 0xEA70, 0x0100, 1}, "CP2105 SCI"},
        {"ttyACM0", {0x04D8, 0x00DF, 0x0101, 0}, "MCP2200"},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const ports::PortDescription usb = Describe(e.name);
        EXPECT_EQ(usb.kind, ports::PortDescription::Usb);
        EXPECT_EQ(usb.usbVendor, e.ids.vendor);
        EXPECT_EQ(usb.usbProduct, e.ids.product);
        EXPECT_EQ(usb.usbRevision, e.ids.revision);
        EXPECT_EQ(usb.usbInterface, e.ids.interface);
        EXPECT_EQ(ports::AdapterRatesOf(usb).chip, e.chip);
    }
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
    EXPECT_EQ(ports::AdapterRatesOfDevice(dev + "/ttyUSB1").chip, "FTDI");
    EXPECT_EQ(ports::AdapterRatesOfDevice(dev + "/ttyNone").rule, ports::AdapterRates::rAny);
    ports::SetTtyClassRoot(previous);
}

} // namespace

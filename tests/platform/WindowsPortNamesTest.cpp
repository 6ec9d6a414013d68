// The port list on Windows: the value data of the serial device map, its watch, and the kind of
// port a device is. The tests write values of their own into the key and remove them again;
// where the key cannot be written (Windows without administrator rights) they are skipped,
// under Wine they run.
#include "tests/support/EventLoop.h"

#include "platform/ports/PortNames.h"
#include "platform/ports/PortWatch.h"
#include "platform/ports/WindowsPortNamesPrivate.h"

#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>
// After windows.h:
#include <devguid.h>
#include <setupapi.h>

namespace {

class SerialDeviceMap : public ::testing::Test {
protected:
    void SetUp() override {
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_READ | KEY_SET_VALUE, nullptr, &key_,
                              nullptr) != ERROR_SUCCESS) {
            GTEST_SKIP() << "the serial device map cannot be written here";
        }
    }
    void TearDown() override {
        for (const std::string& name : added_) {
            ::RegDeleteValueA(key_, name.c_str());
        }
        if (key_ != nullptr) {
            ::RegCloseKey(key_);
        }
    }

    // A value as a port's driver writes it, "\Device\Serial0" = "COM1".
    void Add(const std::string& name, const std::string& data, DWORD type = REG_SZ) {
        ASSERT_EQ(::RegSetValueExA(key_, name.c_str(), 0, type,
                                   reinterpret_cast<const BYTE*>(data.c_str()),
                                   DWORD(data.size() + 1)),
                  ERROR_SUCCESS);
        added_.push_back(name);
    }
    void Remove(const std::string& name) {
        ::RegDeleteValueA(key_, name.c_str());
        added_.erase(std::find(added_.begin(), added_.end(), name));
    }

    static bool Lists(const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    }

    HKEY key_ = nullptr;
    std::vector<std::string> added_;
};

TEST_F(SerialDeviceMap, TheNamesAreTheValuesDataWhateverTheirType) {
    Add("\\Device\\TavrixTest0", "COM30");
    Add("\\Device\\TavrixTest1", "COM4");
    Add("\\Device\\TavrixTest2", "COM7", REG_BINARY);
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(names));
    EXPECT_TRUE(Lists(names, "COM30"));
    EXPECT_TRUE(Lists(names, "COM4"));
    EXPECT_TRUE(Lists(names, "COM7"));
    EXPECT_FALSE(Lists(names, "\\Device\\TavrixTest0"));
    // The same key read again gives the same order.
    std::vector<std::string> again;
    ASSERT_TRUE(ports::ReadPortNames(again));
    EXPECT_EQ(again, names);

    Remove("\\Device\\TavrixTest1");
    ASSERT_TRUE(ports::ReadPortNames(names));
    EXPECT_TRUE(Lists(names, "COM30"));
    EXPECT_FALSE(Lists(names, "COM4"));
}

TEST_F(SerialDeviceMap, AValueTooLongToReadFailsTheListAndLeavesTheNames) {
    Add("\\Device\\TavrixTest0", "COM30");
    Add("\\Device\\TavrixTest1", std::string(256, 'C')); // 257 bytes with its zero
    std::vector<std::string> names{"old"};
    EXPECT_FALSE(ports::ReadPortNames(names));
    EXPECT_EQ(names, std::vector<std::string>{"old"});
}

TEST(WindowsPortNamesTest, ANameNoDeviceHasIsDescribedAsUnknown) {
    EXPECT_EQ(ports::DescribePort("COM250").kind, ports::PortDescription::Unknown);
    EXPECT_EQ(ports::DescribePort("").kind, ports::PortDescription::Unknown);
}

TEST_F(SerialDeviceMap, ANameOnlyTheMapHasIsAVirtualPort) {
    Add("\\Device\\TavrixTest0", "COM250");
    EXPECT_EQ(ports::DescribePort("com250").kind, ports::PortDescription::Virtual);
}

// Other tests write the map too, so only what must be reported is checked here; that a burst is
// reported once is the settling time's rule, which the Linux watch's test checks.
TEST_F(SerialDeviceMap, TheWatchReportsAValueAddedAndItsRemovalWithinASecond) {
    TPortWatch watch;
    int reports = 0;
    watch.OnChange = [&] { ++reports; };
    watch.Watch();
    Add("\\Device\\TavrixWatch0", "COM31");
    EXPECT_TRUE(testsupport::WaitUntil([&] { return reports > 0; }, std::chrono::seconds(1)));
    QTest::qWait(TPortWatch::kSettleMs * 2);
    const int seen = reports;
    Remove("\\Device\\TavrixWatch0"); // the notification was armed again
    EXPECT_TRUE(testsupport::WaitUntil([&] { return reports > seen; }, std::chrono::seconds(1)));
}

TEST(WindowsPortNamesTest, TheEnumeratingBusTellsThePortsKind) {
    using K = ports::PortDescription;
    const struct {
        const char* enumerator;
        const char* instanceId;
        const char* service;
        K::Kind kind;
    } cases[] = {
        {"USB", "USB\\VID_067B&PID_2303\\5&1A2B3C&0&2", "Ser2pl", K::Usb},
        {"FTDIBUS", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "FTSER2K", K::Usb},
        {"", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "FTSER2K", K::Usb},
        {"BTHENUM", "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\7&1",
         "BTHMODEM", K::Bluetooth},
        {"", "bthenum\\{00001101-0000-1000-8000-00805F9B34FB}_VID&0001000F\\8&2", "", K::Bluetooth},
        {"ROOT", "ROOT\\PORTS\\0000", "VSPort", K::Virtual},
        {"", "Root\\PORTS\\0001", "", K::Virtual},
        {"ROOT", "ROOT\\PORTS\\0002", "Serial", K::Uart}, // a legacy port installed by hand
        {"ACPI", "ACPI\\PNP0501\\1", "Serial", K::Uart},
        {"PCI", "PCI\\VEN_1415&DEV_C158\\4&1", "Serial", K::Uart},
        {"MF", "MF\\PCI9710_COM\\4&2", "Serial", K::Uart},
        {"", "", "Serial", K::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ports::PortKindOf(c.enumerator, c.instanceId, c.service), c.kind)
            << c.enumerator << " " << c.instanceId << " " << c.service;
    }
}

// A device of the ports class as an adapter's driver installs it: its instance and hardware ids,
// and the COM name in its device key. Where devices cannot be installed (Windows without
// administrator rights) the test is skipped; under Wine it runs.
class InstalledPort {
public:
    InstalledPort(const wchar_t* instanceId, const std::wstring& hardwareIds, const wchar_t* name)
        : devices_(::SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr)) {
        device_.cbSize = sizeof device_;
        made_ = devices_ != INVALID_HANDLE_VALUE &&
                ::SetupDiCreateDeviceInfoW(devices_, instanceId, &GUID_DEVCLASS_PORTS, nullptr,
                                           nullptr, 0, &device_) &&
                ::SetupDiRegisterDeviceInfo(devices_, &device_, 0, nullptr, nullptr, nullptr);
        made_ = made_ && ::SetupDiSetDeviceRegistryPropertyW(
                             devices_, &device_, SPDRP_HARDWAREID,
                             reinterpret_cast<const BYTE*>(hardwareIds.c_str()),
                             DWORD((hardwareIds.size() + 1) * sizeof(wchar_t)));
        HKEY key = made_ ? ::SetupDiCreateDevRegKeyW(devices_, &device_, DICS_FLAG_GLOBAL, 0,
                                                     DIREG_DEV, nullptr, nullptr)
                         : HKEY(INVALID_HANDLE_VALUE);
        made_ = key != INVALID_HANDLE_VALUE &&
                ::RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                                 DWORD((::lstrlenW(name) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        if (key != INVALID_HANDLE_VALUE) {
            ::RegCloseKey(key);
        }
    }
    ~InstalledPort() {
        if (devices_ != INVALID_HANDLE_VALUE) {
            ::SetupDiRemoveDevice(devices_, &device_);
            ::SetupDiDestroyDeviceInfoList(devices_);
        }
    }
    InstalledPort(const InstalledPort&) = delete;
    InstalledPort& operator=(const InstalledPort&) = delete;
    bool Made() const { return made_; }

private:
    HDEVINFO devices_;
    SP_DEVINFO_DATA device_{};
    bool made_ = false;
};

TEST(WindowsPortNamesTest, AnInstalledAdaptersIdsAndRatesAreFoundByItsName) {
    // A CP2105's first interface, whose lowest rate is 300 bit/s (its second one's, and that of a
    // CP2105 whose interface is not known, is 2400); hardware ids as a REG_MULTI_SZ.
    const std::wstring ids = std::wstring(L"USB\\VID_10C4&PID_EA70&REV_0100&MI_00") + L'\0' +
                             L"USB\\VID_10C4&PID_EA70&MI_00" + L'\0';
    InstalledPort port(L"USB\\VID_10C4&PID_EA70&MI_00\\6&TAVRIXTEST&0&0001", ids, L"COM241");
    if (!port.Made()) {
        GTEST_SKIP() << "devices cannot be installed here";
    }
    const ports::PortDescription description = ports::DescribePort("com241");
    EXPECT_EQ(description.kind, ports::PortDescription::Usb);
    EXPECT_EQ(description.usbVendor, 0x10C4);
    EXPECT_EQ(description.usbProduct, 0xEA70);
    EXPECT_EQ(description.usbRevision, 0x0100);
    EXPECT_EQ(description.usbInterface, 0);
    const ports::AdapterRates rates = ports::AdapterRatesOfDevice("\\\\.\\COM241");
    EXPECT_EQ(rates.Lowest(), 300u);
    EXPECT_TRUE(rates.Makes8E2());
}

} // namespace

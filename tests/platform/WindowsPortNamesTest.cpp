// The port list on Windows: the value data of the serial device map. The tests write values of
// their own into the key and remove them again; where the key cannot be written (Windows
// without administrator rights) they are skipped, under Wine they run.
#include "platform/ports/PortNames.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

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

} // namespace

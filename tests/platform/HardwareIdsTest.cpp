// The USB ids of a Windows port from its device ids: plain string work, run on both systems.
#include "platform/ports/HardwareIdsPrivate.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Ids = std::vector<std::string>;

TEST(HardwareIdsTest, ThePortsIdsAndWhereNeededItsParentsGiveTheKey) {
    const struct {
        Ids hardwareIds;
        const char* instanceId;
        Ids parentIds; // "?" as the first entry: the parent must not be asked
        int vendor, product, revision, interface;
    } cases[] = {
        // A converter on the USB bus, and one interface of a composite device.
        {{"USB\\VID_0403&PID_6001&REV_0600", "USB\\VID_0403&PID_6001"},
         "USB\\VID_0403&PID_6001\\A50285BI",
         {},
         0x0403,
         0x6001,
         0x0600,
         -1},
        {{"USB\\VID_10C4&PID_EA70&REV_0100&MI_01", "USB\\VID_10C4&PID_EA70&MI_01"},
         "USB\\VID_10C4&PID_EA70&MI_01\\6&2B7C1A&0&0001",
         {"?"},
         0x10C4,
         0xEA70,
         0x0100,
         1},
        // Lower case, as some drivers write them.
        {{"usb\\vid_04d8&pid_00df&rev_0101&mi_00"}, "", {"?"}, 0x04D8, 0x00DF, 0x0101, 0},
        // FTDI's bus: the release number and interface are the parent's.
        {{"FTDIBUS\\COMPORT&VID_0403&PID_6001"},
         "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
         {"USB\\VID_0403&PID_6001&REV_0600", "USB\\VID_0403&PID_6001"},
         0x0403,
         0x6001,
         0x0600,
         -1},
        {{},
         "FTDIBUS\\VID_0403+PID_6010+FT4ZS1QBA\\0000",
         {"USB\\VID_0403&PID_6010&REV_0700&MI_00"},
         0x0403,
         0x6010,
         0x0700,
         0},
        // A parent that is another device (the hub) or tells nothing leaves the gaps.
        {{"FTDIBUS\\COMPORT&VID_0403&PID_6015"},
         "",
         {"USB\\ROOT_HUB30&VID8086&PID9D2F&REV0021", "USB\\VID_8087&PID_0024&REV_0000"},
         0x0403,
         0x6015,
         -1,
         -1},
        {{"FTDIBUS\\COMPORT&VID_0403&PID_6001"}, "", {}, 0x0403, 0x6001, -1, -1},
        // Missing parts and garbage.
        {{"USB\\VID_0403"}, "", {"?"}, -1, -1, -1, -1},
        {{"USB\\VID_04G3&PID_6001&REV_0600"}, "", {"?"}, -1, -1, -1, -1},
        {{"USB\\VID_0403&PID_6001&REV_06000&MI_1"}, "", {}, 0x0403, 0x6001, -1, -1},
        {{"USB\\VID_&PID_&REV_"}, "", {"?"}, -1, -1, -1, -1},
        {{"", "\\", "USB", "VID_0403&PID_6001"}, "\\\\", {"?"}, -1, -1, -1, -1},
        // Other buses: Bluetooth's VID is no USB id, ports on the board have none.
        {{"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_VID&0001000F_PID&1200"},
         "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\7&1",
         {"?"},
         -1,
         -1,
         -1,
         -1},
        {{"ACPI\\PNP0501", "*PNP0501"}, "ACPI\\PNP0501\\1", {"?"}, -1, -1, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hardwareIds.empty() ? c.instanceId : c.hardwareIds.front());
        bool asked = false;
        const ports::UsbIds ids = ports::UsbIdsOfPort(c.hardwareIds, c.instanceId, [&] {
            asked = true;
            return c.parentIds;
        });
        EXPECT_EQ(ids.vendor, c.vendor);
        EXPECT_EQ(ids.product, c.product);
        EXPECT_EQ(ids.revision, c.revision);
        EXPECT_EQ(ids.interface, c.interface);
        if (!c.parentIds.empty() && c.parentIds.front() == "?") {
            EXPECT_FALSE(asked);
        }
    }
}

} // namespace

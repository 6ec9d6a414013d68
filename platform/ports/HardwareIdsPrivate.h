#pragma once

// The USB ids in Windows' device ids, for WindowsPortNames.cpp. Plain string work, built on both
// systems so that its tests run on both.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ports {

// The key of the adapter table; -1 where unknown.
struct UsbIds {
    int vendor = -1;
    int product = -1;
    int revision = -1;
    int interface = -1;
};

// The ids one device id carries, compared without case: a USB hardware or instance id
// ("USB\VID_0403&PID_6001&REV_0600", "&MI_01" for an interface of a composite device) or one of
// FTDI's bus ("FTDIBUS\VID_0403+PID_6001+A50285BIA\0000", "FTDIBUS\COMPORT&VID_0403&PID_6001").
// Another enumerator, or a field that is not hex of its length (four digits, two for MI), gives
// nothing for it.
UsbIds UsbIdsOfId(std::string_view id);

// A port's ids from its hardware ids (SPDRP_HARDWAREID, most specific first) and its instance
// id. Where the release number or the interface is missing (FTDI's bus names neither), the
// parent device's hardware ids fill them in when they name the same vendor and product; the
// parent is asked only then.
UsbIds UsbIdsOfPort(const std::vector<std::string>& hardwareIds, std::string_view instanceId,
                    const std::function<std::vector<std::string>()>& parentHardwareIds);

} // namespace ports

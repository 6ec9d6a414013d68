// The port names and descriptions on Windows: the serial device map of the registry, and the
// device manager's view of the ports class through SetupAPI. The Linux roots are not read.

#include "platform/ports/HardwareIdsPrivate.h"
#include "platform/ports/PortNames.h"
#include "platform/ports/WindowsPortNamesPrivate.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <initguid.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

namespace ports {
namespace {

constexpr char kSerialDeviceMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
// The value names and data of the device map: "\Device\Serial0" = "COM1".
constexpr ::DWORD kValueRoom = 256;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(std::size_t(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

bool SameText(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

// The enumerators that tell a port's kind; any other (ACPI, PCI, a multifunction card's) brings
// a port on the board or on a card.
struct EnumeratorKind {
    std::string_view enumerator;
    PortDescription::Kind kind;
};
constexpr EnumeratorKind kEnumeratorKinds[] = {
    {"USB", PortDescription::Usb},
    {"FTDIBUS", PortDescription::Usb}, // FTDI's own bus driver for its adapters
    {"BTHENUM", PortDescription::Bluetooth},
    {"ROOT", PortDescription::Virtual},
};

// A text property of a device; empty when it has none.
std::string DeviceProperty(::HDEVINFO devices, ::SP_DEVINFO_DATA& device, ::DWORD property) {
    wchar_t text[kValueRoom] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr,
                                             reinterpret_cast<::BYTE*>(text),
                                             sizeof text - sizeof *text, nullptr)) {
        return {};
    }
    return Utf8(text);
}

// The port name the device's key gives it ("COM9"); empty when none.
std::string PortNameOf(::HDEVINFO devices, ::SP_DEVINFO_DATA& device) {
    const ::HKEY key =
        ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == reinterpret_cast<::HKEY>(INVALID_HANDLE_VALUE)) {
        return {};
    }
    char name[kValueRoom] = {};
    ::DWORD size = sizeof name - 1;
    ::DWORD type = 0;
    const bool read = ::RegQueryValueExA(key, "PortName", nullptr, &type,
                                         reinterpret_cast<::BYTE*>(name), &size) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return read && type == REG_SZ ? std::string(name) : std::string();
}

// A list of texts of a multi-string ("one\0two\0\0").
std::vector<std::string> MultiString(const wchar_t* texts, std::size_t length) {
    std::vector<std::string> list;
    for (std::size_t at = 0; at < length && texts[at] != L'\0';) {
        const std::wstring text(texts + at);
        list.push_back(Utf8(text));
        at += text.size() + 1;
    }
    return list;
}

// Room for a device's hardware ids, with two zeros kept free to end the list.
constexpr std::size_t kIdsRoom = 1024;

std::vector<std::string> HardwareIdsOf(::HDEVINFO devices, ::SP_DEVINFO_DATA& device) {
    wchar_t ids[kIdsRoom] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr,
                                             reinterpret_cast<::BYTE*>(ids),
                                             sizeof ids - 2 * sizeof *ids, nullptr)) {
        return {};
    }
    return MultiString(ids, kIdsRoom);
}

// FTDI's bus device names neither the release number nor the interface: they are on the USB
// device (or interface) it sits on.
std::vector<std::string> ParentHardwareIdsOf(::DEVINST device) {
    ::DEVINST parent = 0;
    if (::CM_Get_Parent(&parent, device, 0) != CR_SUCCESS) {
        return {};
    }
    wchar_t ids[kIdsRoom] = {};
    ::ULONG size = sizeof ids - 2 * sizeof *ids;
    if (::CM_Get_DevNode_Registry_PropertyW(parent, CM_DRP_HARDWAREID, nullptr, ids, &size, 0) !=
        CR_SUCCESS) {
        return {};
    }
    return MultiString(ids, kIdsRoom);
}

std::string InstanceIdOf(::HDEVINFO devices, ::SP_DEVINFO_DATA& device) {
    wchar_t id[kValueRoom] = {};
    if (!::SetupDiGetDeviceInstanceIdW(devices, &device, id, kValueRoom, nullptr)) {
        return {};
    }
    return Utf8(id);
}

} // namespace

PortDescription::Kind PortKindOf(std::string_view enumerator, std::string_view instanceId,
                                 std::string_view service) {
    if (enumerator.empty()) {
        enumerator = instanceId.substr(0, instanceId.find('\\'));
    }
    if (enumerator.empty()) {
        return PortDescription::Unknown;
    }
    for (const EnumeratorKind& known : kEnumeratorKinds) {
        if (SameText(enumerator, known.enumerator)) {
            return known.kind == PortDescription::Virtual && SameText(service, "Serial")
                       ? PortDescription::Uart
                       : known.kind;
        }
    }
    return PortDescription::Uart;
}

bool ReadPortNames(const std::string&, const std::string&, std::vector<std::string>& names) {
    ::HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialDeviceMap, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<std::string> found;
    bool read = true;
    for (::DWORD index = 0;; ++index) {
        char name[kValueRoom];
        ::BYTE data[kValueRoom];
        ::DWORD nameLength = kValueRoom;
        ::DWORD dataLength = kValueRoom;
        ::DWORD type = 0;
        const ::LONG result =
            ::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS) {
            read = false;
            break;
        }
        // The string data as long as reported, up to its terminating zero; the type is not
        // looked at.
        const std::string value(reinterpret_cast<const char*>(data), dataLength);
        found.push_back(value.substr(0, value.find('\0')));
    }
    ::RegCloseKey(key);
    if (read) {
        names = std::move(found);
    }
    return read;
}

PortDescription DescribePort(const std::string&, const std::string&, const std::string& name) {
    PortDescription description;
    const ::HDEVINFO devices =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return description;
    }
    ::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    bool found = false;
    for (::DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        if (name.empty() || ::lstrcmpiA(PortNameOf(devices, device).c_str(), name.c_str()) != 0) {
            continue;
        }
        found = true;
        description.manufacturer = DeviceProperty(devices, device, SPDRP_MFG);
        description.product = DeviceProperty(devices, device, SPDRP_FRIENDLYNAME);
        description.driver = DeviceProperty(devices, device, SPDRP_SERVICE);
        const std::string instanceId = InstanceIdOf(devices, device);
        description.kind = PortKindOf(DeviceProperty(devices, device, SPDRP_ENUMERATOR_NAME),
                                      instanceId, description.driver);
        const UsbIds usb = UsbIdsOfPort(HardwareIdsOf(devices, device), instanceId,
                                        [&] { return ParentHardwareIdsOf(device.DevInst); });
        description.usbVendor = usb.vendor;
        description.usbProduct = usb.product;
        description.usbRevision = usb.revision;
        description.usbInterface = usb.interface;
        break;
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    // A name the map lists with no device of the ports class behind it was made by a driver
    // outside that class: virtual port drivers, Wine's own mapping onto Unix devices.
    std::vector<std::string> listed;
    if (!found && !name.empty() && ReadPortNames(listed) &&
        std::any_of(listed.begin(), listed.end(),
                    [&](const std::string& listedName) { return SameText(listedName, name); })) {
        description.kind = PortDescription::Virtual;
    }
    return description;
}

AdapterRates AdapterRatesOfDevice(const std::string& devicePath) {
    const auto separator = devicePath.find_last_of("\\/");
    return AdapterRatesOf(DescribePort(
        separator == std::string::npos ? devicePath : devicePath.substr(separator + 1)));
}

} // namespace ports

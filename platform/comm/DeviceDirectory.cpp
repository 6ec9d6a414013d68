// Where names are opened: the process-wide device directory and the devices plugged in under
// a path (simulated lines), which take precedence over the system's own ports.

#include "platform/comm/Device.h"
#include "platform/comm/HandleTable.h"

#include <map>
#include <mutex>

namespace comm {
namespace {

struct Directory {
    std::mutex mutex;
    std::string path = SystemDeviceDirectory();
    std::map<std::string, DeviceOpener> plugged;
};

Directory& Devices() {
    static Directory devices;
    return devices;
}

} // namespace

void SetDeviceDirectory(const std::string& directory) {
    auto& devices = Devices();
    std::lock_guard lock(devices.mutex);
    devices.path = directory;
}

std::string DeviceDirectory() {
    auto& devices = Devices();
    std::lock_guard lock(devices.mutex);
    return devices.path;
}

std::string DevicePath(const std::string& name) {
    // Windows' "\\.\" ends in its separator already.
    std::string path = DeviceDirectory();
    if (path.empty() || (path.back() != '/' && path.back() != '\\')) {
        path += '/';
    }
    return path + name;
}

void PlugDevice(const std::string& path, DeviceOpener opener) {
    auto& devices = Devices();
    std::lock_guard lock(devices.mutex);
    devices.plugged[path] = std::move(opener);
}

void UnplugDevice(const std::string& path) {
    auto& devices = Devices();
    std::lock_guard lock(devices.mutex);
    devices.plugged.erase(path);
}

namespace detail {

std::unique_ptr<Device> OpenDevice(const std::string& path, DWORD& error) {
    DeviceOpener opener;
    {
        auto& devices = Devices();
        std::lock_guard lock(devices.mutex);
        auto it = devices.plugged.find(path);
        if (it != devices.plugged.end()) {
            opener = it->second;
        }
    }
    error = ERROR_SUCCESS;
    std::unique_ptr<Device> device = opener ? opener(error) : OpenSystemDevice(path, error);
    if (!device && error == ERROR_SUCCESS) {
        error = ERROR_GEN_FAILURE;
    }
    return device;
}

} // namespace detail
} // namespace comm

#include "platform/comm/HandleTable.h"

#include "platform/comm/Device.h"

#include <map>

namespace comm {
namespace detail {
namespace {

struct HandleTable {
    base::PiMutex mutex;
    std::map<HANDLE, HandleObject> objects;
    HANDLE next = 0x100;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

thread_local DWORD lastError = ERROR_SUCCESS;

} // namespace

base::PiMutex& EventMutex() {
    static base::PiMutex mutex;
    return mutex;
}

base::PiCondition& EventCondition() {
    static base::PiCondition condition;
    return condition;
}

HANDLE InsertHandle(HandleObject object) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    HANDLE handle;
    do {
        handle = table.next++;
        if (table.next == INVALID_HANDLE_VALUE) {
            table.next = 0x100;
        }
    } while (table.objects.count(handle) != 0);
    table.objects.emplace(handle, std::move(object));
    return handle;
}

bool RemoveHandle(HANDLE handle, HandleObject& removed) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(handle);
    if (it == table.objects.end()) {
        return false;
    }
    removed = std::move(it->second);
    table.objects.erase(it);
    return true;
}

std::shared_ptr<Device> FindDevice(HANDLE handle, ports::AdapterRates* adapter) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(handle);
    if (it == table.objects.end()) {
        return nullptr;
    }
    if (adapter != nullptr) {
        *adapter = it->second.adapter;
    }
    return it->second.device;
}

std::shared_ptr<EventObject> FindEvent(HANDLE handle) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(handle);
    return it == table.objects.end() ? nullptr : it->second.event;
}

bool Result(DWORD error) {
    lastError = error;
    return error == ERROR_SUCCESS;
}

} // namespace detail

DWORD GetLastError() {
    return detail::lastError;
}

void SetLastError(DWORD error) {
    detail::lastError = error;
}

} // namespace comm

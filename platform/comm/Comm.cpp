// The device calls: each finds the device behind its handle, runs the backend's call and
// leaves the outcome as the thread's last error; writes and event waits go through the
// caller's OVERLAPPED block.

#include "platform/comm/Comm.h"

#include "platform/comm/Device.h"
#include "platform/comm/HandleTable.h"

#include <chrono>
#include <thread>

namespace comm {
namespace {

using detail::FindDevice;
using detail::Result;

// Runs a device call: invalid handles fail with ERROR_INVALID_HANDLE.
template <class Call> bool WithDevice(HANDLE handle, Call&& call) {
    auto device = FindDevice(handle);
    if (!device) {
        return Result(ERROR_INVALID_HANDLE);
    }
    return Result(call(*device));
}

// Starts an operation on a block: clears its event and gives it a fresh completion record.
std::shared_ptr<Completion> Begin(OVERLAPPED* overlapped) {
    std::shared_ptr<detail::EventObject> event;
    if (overlapped->hEvent != 0) {
        event = detail::FindEvent(overlapped->hEvent);
    }
    if (event) {
        std::lock_guard lock(detail::EventMutex());
        event->signalled = false;
    }
    overlapped->Internal = ERROR_IO_PENDING;
    overlapped->InternalHigh = 0;
    overlapped->EventMaskOut = nullptr;
    overlapped->Pending = std::make_shared<Completion>(event);
    return overlapped->Pending;
}

} // namespace

HANDLE CreateFileA(const std::string& path, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
    DWORD error = ERROR_SUCCESS;
    std::unique_ptr<Device> device = detail::OpenDevice(path, error);
    if (!device) {
        Result(error);
        return INVALID_HANDLE_VALUE;
    }
    detail::HandleObject object;
    object.device = std::move(device);
    object.adapter = ports::AdapterRatesOfDevice(path);
    const HANDLE handle = detail::InsertHandle(std::move(object));
    Result(ERROR_SUCCESS);
    return handle;
}

bool CloseHandle(HANDLE handle) {
    detail::HandleObject object;
    if (!detail::RemoveHandle(handle, object)) {
        return Result(ERROR_INVALID_HANDLE);
    }
    if (object.device) {
        object.device->Close();
    }
    return Result(ERROR_SUCCESS);
}

bool SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) {
    return WithDevice(device, [&](Device& d) { return d.SetupComm(inQueue, outQueue); });
}

bool SetCommState(HANDLE handle, const DCB* dcb) {
    if (dcb == nullptr) {
        return Result(ERROR_INVALID_PARAMETER);
    }
    ports::AdapterRates adapter;
    auto device = FindDevice(handle, &adapter);
    if (!device) {
        return Result(ERROR_INVALID_HANDLE);
    }
    // A rate or a frame the adapter cannot make is refused before the driver takes it and
    // reads it back as set; the line keeps what it had.
    const bool made = adapter.Makes(dcb->BaudRate) &&
                      adapter.MakesFrame(dcb->ByteSize, dcb->Parity, dcb->StopBits);
    return Result(made ? device->SetCommState(*dcb) : ERROR_INVALID_PARAMETER);
}

bool SetCommTimeouts(HANDLE device, const COMMTIMEOUTS* timeouts) {
    if (timeouts == nullptr) {
        return Result(ERROR_INVALID_PARAMETER);
    }
    return WithDevice(device, [&](Device& d) { return d.SetCommTimeouts(*timeouts); });
}

bool EscapeCommFunction(HANDLE device, DWORD function) {
    return WithDevice(device, [&](Device& d) { return d.EscapeCommFunction(function); });
}

bool PurgeComm(HANDLE device, DWORD flags) {
    return WithDevice(device, [&](Device& d) { return d.PurgeComm(flags); });
}

bool WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written,
               OVERLAPPED* overlapped) {
    if (written != nullptr) {
        *written = 0;
    }
    auto device = FindDevice(handle);
    if (!device) {
        return Result(ERROR_INVALID_HANDLE);
    }
    if (overlapped == nullptr || (buffer == nullptr && count != 0)) {
        return Result(ERROR_INVALID_PARAMETER);
    }
    auto done = Begin(overlapped);
    const DWORD error = device->Write(static_cast<const BYTE*>(buffer), count, done);
    if (error != ERROR_SUCCESS) {
        // Nothing was started: the operation has ended, so a wait on its event returns.
        done->Finish(error, 0);
        overlapped->Internal = error;
        return Result(error);
    }
    if (done->Done() && done->Error() == ERROR_SUCCESS) {
        overlapped->Internal = ERROR_SUCCESS;
        overlapped->InternalHigh = done->Bytes();
        if (written != nullptr) {
            *written = done->Bytes();
        }
        return Result(ERROR_SUCCESS);
    }
    return Result(ERROR_IO_PENDING);
}

bool GetOverlappedResult(HANDLE, OVERLAPPED* overlapped, DWORD* transferred, bool wait) {
    if (transferred != nullptr) {
        *transferred = 0;
    }
    if (overlapped == nullptr) {
        return Result(ERROR_INVALID_PARAMETER);
    }
    auto done = overlapped->Pending;
    if (!done) {
        // No operation was started on the block: its last status stands.
        if (overlapped->Internal != ERROR_SUCCESS) {
            return Result(static_cast<DWORD>(overlapped->Internal));
        }
        if (transferred != nullptr) {
            *transferred = static_cast<DWORD>(overlapped->InternalHigh);
        }
        return Result(ERROR_SUCCESS);
    }
    if (!done->Done()) {
        if (!wait) {
            return Result(ERROR_IO_INCOMPLETE);
        }
        if (WaitForSingleObject(overlapped->hEvent, INFINITE) != WAIT_OBJECT_0) {
            return false;
        }
        while (!done->Done()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    overlapped->Internal = done->Error();
    overlapped->InternalHigh = done->Bytes();
    if (overlapped->EventMaskOut != nullptr && done->Error() == ERROR_SUCCESS) {
        *overlapped->EventMaskOut = done->EventMask();
    }
    if (transferred != nullptr) {
        *transferred = done->Bytes();
    }
    return Result(done->Error());
}

bool SetCommMask(HANDLE device, DWORD mask) {
    return WithDevice(device, [&](Device& d) { return d.SetCommMask(mask); });
}

bool WaitCommEvent(HANDLE handle, DWORD* eventMask, OVERLAPPED* overlapped) {
    auto device = FindDevice(handle);
    if (!device) {
        return Result(ERROR_INVALID_HANDLE);
    }
    if (eventMask == nullptr || overlapped == nullptr) {
        return Result(ERROR_INVALID_PARAMETER);
    }
    *eventMask = 0;
    auto done = Begin(overlapped);
    const DWORD error = device->WaitCommEvent(done);
    if (error != ERROR_SUCCESS) {
        overlapped->Pending.reset();
        overlapped->Internal = error;
        return Result(error);
    }
    overlapped->EventMaskOut = eventMask;
    if (done->Done() && done->Error() == ERROR_SUCCESS) {
        *eventMask = done->EventMask();
        return Result(ERROR_SUCCESS);
    }
    return Result(ERROR_IO_PENDING);
}

bool ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status) {
    DWORD flags = 0;
    COMSTAT stat{};
    const bool ok = WithDevice(device, [&](Device& d) { return d.ClearCommError(flags, stat); });
    if (ok) {
        if (errors != nullptr) {
            *errors = flags;
        }
        if (status != nullptr) {
            *status = stat;
        }
    }
    return ok;
}

bool GetCommModemStatus(HANDLE device, DWORD* modemStatus) {
    if (modemStatus == nullptr) {
        return Result(ERROR_INVALID_PARAMETER);
    }
    return WithDevice(device, [&](Device& d) { return d.GetCommModemStatus(*modemStatus); });
}

} // namespace comm

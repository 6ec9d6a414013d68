// TBComPort: writing, the input count and the line signals.
#include "serial/BCPort.h"

#include "serial/BCPortPrivate.h"
#include "serial/PortOperation.h"

int TBComPort::WriteAsync(const void* buffer, int count, PPortOperation& op) {
    if (!op) {
        RaiseComError(ComMessage::InvalidAsync);
    }
    PreparePortOperation(pkWrite, buffer, count, op);
    comm::DWORD written = 0;
    if (comm::WriteFile(handle_, op->Data.get(), comm::DWORD(op->Size), &written,
                        &op->Overlapped)) {
        return int(written);
    }
    if (comm::GetLastError() == comm::ERROR_IO_PENDING) {
        return int(written);
    }
    RaiseWriteError();
}

void TBComPort::RaiseWriteError() {
    // A write that AbortTransfers ended (STOP) is no sign of a failing device.
    if (connected_ && !(aborted_ && comm::GetLastError() == comm::ERROR_OPERATION_ABORTED)) {
        writeFailed_ = true;
    }
    RaiseComError(ComMessage::WriteError);
}

int TBComPort::WriteStrAsync(const std::string& str, PPortOperation& op) {
    if (str.empty()) {
        return 0;
    }
    return WriteAsync(str.data(), int(str.size()), op);
}

int TBComPort::WaitForAsync(PPortOperation& op) {
    if (!op) {
        RaiseComError(ComMessage::InvalidAsync);
    }
    comm::DWORD transferred = 0;
    if (comm::WaitForSingleObject(op->Overlapped.hEvent, comm::INFINITE) != comm::WAIT_OBJECT_0 ||
        !comm::GetOverlappedResult(handle_, &op->Overlapped, &transferred, false)) {
        if (op->Kind == pkRead) {
            RaiseComError(ComMessage::ReadError);
        }
        RaiseWriteError();
    }
    return int(transferred);
}

int TBComPort::WriteStr(const std::string& str) {
    PPortOperation op;
    NewPortOperation(op);
    try {
        WriteStrAsync(str, op);
        const int written = WaitForAsync(op);
        FreePortOperation(op);
        return written;
    } catch (...) {
        FreePortOperation(op);
        throw;
    }
}

int TBComPort::InputCount() {
    comm::DWORD errors = 0;
    comm::COMSTAT status{};
    if (!comm::ClearCommError(handle_, &errors, &status)) {
        RaiseComError(ComMessage::ClearCommError);
    }
    return int(status.cbInQue);
}

TLineSignals TBComPort::LineSignals() {
    comm::DWORD status = 0;
    if (!comm::GetCommModemStatus(handle_, &status)) {
        RaiseComError(ComMessage::GetCommModemStatus);
    }
    TLineSignals lines;
    if ((status & comm::MS_CTS_ON) != 0) {
        lines.Include(lsCTS);
    }
    if ((status & comm::MS_DSR_ON) != 0) {
        lines.Include(lsDSR);
    }
    if ((status & comm::MS_RING_ON) != 0) {
        lines.Include(lsRing);
    }
    if ((status & comm::MS_RLSD_ON) != 0) {
        lines.Include(lsRLSD);
    }
    return lines;
}

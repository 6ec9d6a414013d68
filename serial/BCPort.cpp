#include "serial/BCPort.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "serial/BCPortPrivate.h"
#include "serial/ComThread.h"
#include "serial/PortOperation.h"

#include <iterator>

namespace {

// Flags word of the line settings: fBinary, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE; fParity
// is added when there is parity.
constexpr comm::DWORD DcbFlags = 0x1011;
constexpr comm::DWORD DcbParityFlag = 0x0002;
constexpr char DcbXonChar = 0x11;
constexpr char DcbXoffChar = 0x13;

comm::DWORD TimeoutValue(int value) {
    return value < 0 ? comm::MAXDWORD : comm::DWORD(value);
}

// A buffer size is kept even: an odd positive one is lowered by one.
int EvenBufferSize(int size) {
    return size > 0 && size % 2 != 0 ? size - 1 : size;
}

} // namespace

void RaiseComError(ComMessage message) {
    throw EComPort(ComMessageText(message));
}

// --- TComTimeouts ------------------------------------------------------------------------

void TComTimeouts::AssignTo(TComTimeouts& dest) const {
    dest.readInterval_ = readInterval_;
    dest.readTotalMultiplier_ = readTotalMultiplier_;
    dest.readTotalConstant_ = readTotalConstant_;
    dest.writeTotalMultiplier_ = writeTotalMultiplier_;
    dest.writeTotalConstant_ = writeTotalConstant_;
}

void TComTimeouts::Changed() {
    if (comPort_ != nullptr) {
        comPort_->ApplyTimeouts();
    }
}

void TComTimeouts::SetReadInterval(int value) {
    if (base::Change(readInterval_, value)) {
        Changed();
    }
}

void TComTimeouts::SetReadTotalMultiplier(int value) {
    if (base::Change(readTotalMultiplier_, value)) {
        Changed();
    }
}

void TComTimeouts::SetReadTotalConstant(int value) {
    if (base::Change(readTotalConstant_, value)) {
        Changed();
    }
}

void TComTimeouts::SetWriteTotalMultiplier(int value) {
    if (base::Change(writeTotalMultiplier_, value)) {
        Changed();
    }
}

void TComTimeouts::SetWriteTotalConstant(int value) {
    if (base::Change(writeTotalConstant_, value)) {
        Changed();
    }
}

// --- TBComPort: life and settings ---------------------------------------------------------

TBComPort::TBComPort(QObject* owner) : QObject(owner) {
    timeouts_.comPort_ = this;
}

TBComPort::~TBComPort() {
    try {
        Close();
    } catch (...) {
        // A step of Close failed: the port must still be released with the object.
        eventThread_.reset();
        notifyWindow_.reset();
        CloseDevice();
        connected_ = false;
    }
}

bool TBComPort::Open() {
    if (connected_) {
        return true;
    }
    OpenDevice();
    connected_ = true;
    try {
        ApplySettings();
    } catch (...) {
        CloseDevice();
        connected_ = false;
        throw;
    }
    if (syncMethod_ == smWindowSync) {
        notifyWindow_ = std::make_unique<ui::TNotifyWindow>(
            [this](ui::TMessage& message) { NotifyWindowProc(message); });
    }
    eventThread_ = std::make_unique<TComThread>(this);
    return connected_;
}

bool TBComPort::Close() {
    if (!connected_) {
        return true;
    }
    try {
        SetDTR(false);
        SetRTS(false);
        AbortTransfers();
    } catch (const EComPort&) {
        // A device that has gone away (adapter pulled out) can never be closed step by step;
        // any other failure keeps the port open.
        if (comm::GetLastError() != comm::ERROR_DEVICE_REMOVED) {
            throw;
        }
    }
    eventThread_.reset();
    if (syncMethod_ == smWindowSync) {
        notifyWindow_.reset();
    }
    CloseDevice();
    connected_ = false;
    return true;
}

void TBComPort::OpenDevice() {
    const std::string path = comm::DevicePath(port_.toStdString());
    handle_ = comm::CreateFileA(path, comm::GENERIC_READ | comm::GENERIC_WRITE, 0, nullptr,
                                comm::OPEN_EXISTING, comm::FILE_FLAG_OVERLAPPED, 0);
    if (handle_ == comm::INVALID_HANDLE_VALUE) {
        const comm::DWORD error = comm::GetLastError();
        if (error == comm::ERROR_FILE_NOT_FOUND) {
            RaiseComError(ComMessage::NoSuchPort);
        }
        if (error == comm::ERROR_ACCESS_DENIED) {
            RaiseComError(ComMessage::PortBusy);
        }
        // Any other code: the open goes on with the invalid handle and fails in SetupComm.
    }
}

void TBComPort::CloseDevice() {
    if (handle_ != comm::INVALID_HANDLE_VALUE) {
        comm::CloseHandle(handle_);
    }
    handle_ = comm::INVALID_HANDLE_VALUE;
}

void TBComPort::ApplySettings() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeouts();
}

void TBComPort::ApplyBufferSizes() {
    if (!connected_) {
        return;
    }
    if (!comm::SetupComm(handle_, comm::DWORD(inBufSize_), comm::DWORD(outBufSize_))) {
        RaiseComError(ComMessage::SetupComm);
    }
}

void TBComPort::ApplyLineSettings() {
    if (!connected_) {
        return;
    }
    comm::DCB dcb{};
    dcb.DCBlength = sizeof(comm::DCB);
    // An ordinal beyond the rate table asks for rate 0, which the device refuses.
    dcb.BaudRate = baudRate_ < std::size(ComBaudRates) ? ComBaudRates[baudRate_] : 0;
    dcb.Flags = DcbFlags | (parity_ != paNone ? DcbParityFlag : 0);
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = comm::BYTE(byteSize_ + 5);
    dcb.Parity = parity_;
    dcb.StopBits = stopBits_;
    dcb.XonChar = DcbXonChar;
    dcb.XoffChar = DcbXoffChar;
    if (!comm::SetCommState(handle_, &dcb)) {
        RaiseComError(ComMessage::SetCommState);
    }
}

void TBComPort::ApplyTimeouts() {
    if (!connected_) {
        return;
    }
    const comm::COMMTIMEOUTS timeouts{
        TimeoutValue(timeouts_.ReadInterval()),
        TimeoutValue(timeouts_.ReadTotalMultiplier()),
        TimeoutValue(timeouts_.ReadTotalConstant()),
        TimeoutValue(timeouts_.WriteTotalMultiplier()),
        TimeoutValue(timeouts_.WriteTotalConstant()),
    };
    if (!comm::SetCommTimeouts(handle_, &timeouts)) {
        RaiseComError(ComMessage::SetCommTimeouts);
    }
}

void TBComPort::SetDTR(bool state) {
    if (!comm::EscapeCommFunction(handle_, state ? comm::SETDTR : comm::CLRDTR)) {
        RaiseComError(ComMessage::EscapeCommFunction);
    }
}

void TBComPort::SetRTS(bool state) {
    if (!comm::EscapeCommFunction(handle_, state ? comm::SETRTS : comm::CLRRTS)) {
        RaiseComError(ComMessage::EscapeCommFunction);
    }
}

void TBComPort::AbortTransfers() {
    if (!comm::PurgeComm(handle_, comm::PURGE_TXABORT | comm::PURGE_RXABORT)) {
        RaiseComError(ComMessage::PurgeComm);
    }
}

void TBComPort::SetBaudRate(TBaudRate value) {
    if (base::Change(baudRate_, value)) {
        ApplyLineSettings();
    }
}

void TBComPort::SetByteSize(TByteSize value) {
    if (base::Change(byteSize_, value)) {
        ApplyLineSettings();
    }
}

void TBComPort::SetParity(TParity value) {
    if (base::Change(parity_, value)) {
        ApplyLineSettings();
    }
}

void TBComPort::SetStopBits(TStopBits value) {
    if (base::Change(stopBits_, value)) {
        ApplyLineSettings();
    }
}

// The change is judged on the value given, before it is lowered to even.
void TBComPort::SetInBufSize(int value) {
    if (base::Change(inBufSize_, value)) {
        inBufSize_ = EvenBufferSize(inBufSize_);
        ApplyBufferSizes();
    }
}

void TBComPort::SetOutBufSize(int value) {
    if (base::Change(outBufSize_, value)) {
        outBufSize_ = EvenBufferSize(outBufSize_);
        ApplyBufferSizes();
    }
}

// Refused while open, also for the name the port has.
void TBComPort::SetPort(const QString& value) {
    if (connected_) {
        RaiseComError(ComMessage::PropertyWhileOpen);
    }
    port_ = value;
}

// The method the port has is accepted while open; only a change is refused.
void TBComPort::SetSyncMethod(TSyncMethod value) {
    if (value != syncMethod_ && connected_) {
        RaiseComError(ComMessage::PropertyWhileOpen);
    }
    syncMethod_ = value;
}

void TBComPort::SetTimeouts(const TComTimeouts& value) {
    value.AssignTo(timeouts_);
    ApplyTimeouts();
}

// --- Data transfer --------------------------------------------------------------------------

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
        RaiseComError(op->Kind == pkRead ? ComMessage::ReadError : ComMessage::WriteError);
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

// --- Events -----------------------------------------------------------------------------

namespace {

// Device error flags and the errors they report, in this order.
struct ErrorFlag {
    comm::DWORD flag;
    TComError error;
};
constexpr ErrorFlag ErrorFlags[8] = {
    {comm::CE_FRAME, ceFrame},     {comm::CE_RXPARITY, ceRxParity},
    {comm::CE_OVERRUN, ceOverrun}, {comm::CE_BREAK, ceBreak},
    {comm::CE_IOE, ceIO},          {comm::CE_MODE, ceMode},
    {comm::CE_RXOVER, ceRxOver},   {comm::CE_TXFULL, ceTxFull},
};

} // namespace

void TBComPort::DoRxChar() {
    const int count = InputCount();
    if (count > 0 && OnRxChar) {
        OnRxChar(this, count);
    }
}

void TBComPort::DoTxEmpty() {
    if (OnTxEmpty) {
        OnTxEmpty(this);
    }
}

void TBComPort::DoRing() {
    if (OnRing) {
        OnRing(this);
    }
}

void TBComPort::DoCTSChange() {
    if (OnCTSChange) {
        OnCTSChange(this, LineSignals().Contains(lsCTS));
    }
}

void TBComPort::DoDSRChange() {
    if (OnDSRChange) {
        OnDSRChange(this, LineSignals().Contains(lsDSR));
    }
}

void TBComPort::DoRLSDChange() {
    if (OnRLSDChange) {
        OnRLSDChange(this, LineSignals().Contains(lsRLSD));
    }
}

void TBComPort::DoError() {
    comm::DWORD flags = 0;
    comm::COMSTAT status{};
    if (!comm::ClearCommError(handle_, &flags, &status)) {
        RaiseComError(ComMessage::ClearCommError);
    }
    TComErrors errors;
    for (const ErrorFlag& entry : ErrorFlags) {
        if ((flags & entry.flag) == 0) {
            continue;
        }
        if (entry.error == ceRxParity && parity_ == paNone) {
            continue;
        }
        errors.Include(entry.error);
    }
    if (!errors.Empty() && OnError) {
        OnError(this, errors);
    }
}

void TBComPort::DoRx80Full() {
    if (OnRx80Full) {
        OnRx80Full(this);
    }
}

void TBComPort::DoEvent(TWatchEvent event) {
    switch (event) {
    case weRxChar:
        DoRxChar();
        break;
    case weTxEmpty:
        DoTxEmpty();
        break;
    case weRing:
        DoRing();
        break;
    case weCTS:
        DoCTSChange();
        break;
    case weDSR:
        DoDSRChange();
        break;
    case weRLSD:
        DoRLSDChange();
        break;
    case weError:
        DoError();
        break;
    case weRx80Full:
        DoRx80Full();
        break;
    }
}

void TBComPort::NotifyWindowProc(ui::TMessage& message) {
    if (message.Msg != WM_PORTEVENT) {
        message.Result =
            ui::DefWindowProc(notifyWindow_.get(), message.Msg, message.WParam, message.LParam);
        return;
    }
    try {
        if (ui::InSendMessage()) {
            ui::ReplyMessage(0);
        }
        if (!connected_) {
            return;
        }
        // The first parameter is one event's system value; any other value does nothing.
        for (unsigned e = 0; e < std::size(WatchEventMasks); ++e) {
            if (message.WParam == WatchEventMasks[e]) {
                DoEvent(TWatchEvent(e));
                break;
            }
        }
    } catch (...) {
        ui::ShowCurrentException();
    }
}

#include "serial/BCPort.h"

#include "platform/base/Change.h"
#include "platform/ui/Application.h"
#include "serial/BCPortPrivate.h"
#include "serial/ComThread.h"

#include <functional>
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
    writeFailed_ = false;
    aborted_ = false;
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
    // After a failed write the device may be gone (an adapter pulled out), and a driver that
    // keeps a surprise-removed device answers every call with a code of its own until the last
    // handle closes, so the adapter cannot come back while the port holds it. The steps are then
    // tried once each and the port is released whatever they answer; otherwise a failing step
    // keeps the port open, unless the device says it has gone.
    const bool release = writeFailed_.load();
    const std::function<void()> steps[] = {[this] { SetDTR(false); }, [this] { SetRTS(false); },
                                           [this] { AbortTransfers(); }};
    for (const auto& step : steps) {
        try {
            step();
        } catch (const EComPort&) {
            if (!release && comm::GetLastError() != comm::ERROR_DEVICE_REMOVED) {
                throw;
            }
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
    aborted_ = true;
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

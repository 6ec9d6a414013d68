#include "serial/BCPort.h"

#include "platform/ui/Application.h"
#include "serial/ComThread.h"

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

} // namespace

void RaiseComError(int number) {
    throw EComPort(ComErrorMessages[number - 1]);
}

// --- TComTimeouts ------------------------------------------------------------------------

void TComTimeouts::AssignTo(TComTimeouts& Dest) const {
    Dest.FReadInterval = FReadInterval;
    Dest.FReadTotalMultiplier = FReadTotalMultiplier;
    Dest.FReadTotalConstant = FReadTotalConstant;
    Dest.FWriteTotalMultiplier = FWriteTotalMultiplier;
    Dest.FWriteTotalConstant = FWriteTotalConstant;
}

void TComTimeouts::Changed() {
    if (FComPort != nullptr)
        FComPort->ApplyTimeouts();
}

#define TIMEOUT_SETTER(Name)                                                                       \
    void TComTimeouts::Set##Name(int Value) {                                                      \
        if (Value == F##Name)                                                                      \
            return;                                                                                \
        F##Name = Value;                                                                           \
        Changed();                                                                                 \
    }
TIMEOUT_SETTER(ReadInterval)
TIMEOUT_SETTER(ReadTotalMultiplier)
TIMEOUT_SETTER(ReadTotalConstant)
TIMEOUT_SETTER(WriteTotalMultiplier)
TIMEOUT_SETTER(WriteTotalConstant)
#undef TIMEOUT_SETTER

// --- TBComPort: life and settings ---------------------------------------------------------

TBComPort::TBComPort(QObject* AOwner) : QObject(AOwner) {
    FTimeouts.FComPort = this;
}

TBComPort::~TBComPort() {
    try {
        Close();
    } catch (...) {
        // A step of Close failed: the port must still be released with the object.
        FEventThread.reset();
        FNotifyWindow.reset();
        CloseDevice();
        FConnected = false;
    }
}

bool TBComPort::Open() {
    if (FConnected)
        return true;
    OpenDevice();
    FConnected = true;
    try {
        ApplySettings();
    } catch (...) {
        CloseDevice();
        FConnected = false;
        throw;
    }
    if (FSyncMethod == smWindowSync)
        FNotifyWindow = std::make_unique<ui::TNotifyWindow>(
            [this](ui::TMessage& Message) { NotifyWindowProc(Message); });
    FEventThread = std::make_unique<TComThread>(this);
    return FConnected;
}

bool TBComPort::Close() {
    if (!FConnected)
        return true;
    try {
        SetDTR(false);
        SetRTS(false);
        AbortTransfers();
    } catch (const EComPort&) {
        // A device that has gone away (adapter pulled out) can never be closed step by step;
        // any other failure keeps the port open.
        if (comm::GetLastError() != comm::ERROR_DEVICE_REMOVED)
            throw;
    }
    FEventThread.reset();
    if (FSyncMethod == smWindowSync)
        FNotifyWindow.reset();
    CloseDevice();
    FConnected = false;
    return true;
}

void TBComPort::OpenDevice() {
    const std::string path = comm::DevicePath(FPort.toStdString());
    FHandle = comm::CreateFileA(path, comm::GENERIC_READ | comm::GENERIC_WRITE, 0, nullptr,
                                comm::OPEN_EXISTING, comm::FILE_FLAG_OVERLAPPED, 0);
    if (FHandle == comm::INVALID_HANDLE_VALUE) {
        const comm::DWORD error = comm::GetLastError();
        if (error == comm::ERROR_FILE_NOT_FOUND)
            RaiseComError(1);
        if (error == comm::ERROR_ACCESS_DENIED)
            RaiseComError(2);
        // Any other code: the open goes on with the invalid handle and fails in SetupComm.
    }
}

void TBComPort::CloseDevice() {
    if (FHandle != comm::INVALID_HANDLE_VALUE)
        comm::CloseHandle(FHandle);
    FHandle = comm::INVALID_HANDLE_VALUE;
}

void TBComPort::ApplySettings() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeouts();
}

void TBComPort::ApplyBufferSizes() {
    if (!FConnected)
        return;
    if (!comm::SetupComm(FHandle, comm::DWORD(FInBufSize), comm::DWORD(FOutBufSize)))
        RaiseComError(9);
}

void TBComPort::ApplyLineSettings() {
    if (!FConnected)
        return;
    comm::DCB dcb{};
    dcb.DCBlength = sizeof(comm::DCB);
    // An ordinal beyond the rate table asks for rate 0, which the device refuses.
    dcb.BaudRate = FBaudRate < std::size(ComBaudRates) ? ComBaudRates[FBaudRate] : 0;
    dcb.Flags = DcbFlags | (FParity != paNone ? DcbParityFlag : 0);
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = comm::BYTE(FByteSize + 5);
    dcb.Parity = FParity;
    dcb.StopBits = FStopBits;
    dcb.XonChar = DcbXonChar;
    dcb.XoffChar = DcbXoffChar;
    if (!comm::SetCommState(FHandle, &dcb))
        RaiseComError(7);
}

void TBComPort::ApplyTimeouts() {
    if (!FConnected)
        return;
    const comm::COMMTIMEOUTS timeouts{
        TimeoutValue(FTimeouts.ReadInterval()),
        TimeoutValue(FTimeouts.ReadTotalMultiplier()),
        TimeoutValue(FTimeouts.ReadTotalConstant()),
        TimeoutValue(FTimeouts.WriteTotalMultiplier()),
        TimeoutValue(FTimeouts.WriteTotalConstant()),
    };
    if (!comm::SetCommTimeouts(FHandle, &timeouts))
        RaiseComError(8);
}

void TBComPort::SetDTR(bool State) {
    if (!comm::EscapeCommFunction(FHandle, State ? comm::SETDTR : comm::CLRDTR))
        RaiseComError(12);
}

void TBComPort::SetRTS(bool State) {
    if (!comm::EscapeCommFunction(FHandle, State ? comm::SETRTS : comm::CLRRTS))
        RaiseComError(12);
}

void TBComPort::AbortTransfers() {
    if (!comm::PurgeComm(FHandle, comm::PURGE_TXABORT | comm::PURGE_RXABORT))
        RaiseComError(6);
}

void TBComPort::SetBaudRate(TBaudRate Value) {
    if (Value == FBaudRate)
        return;
    FBaudRate = Value;
    ApplyLineSettings();
}

void TBComPort::SetByteSize(TByteSize Value) {
    if (Value == FByteSize)
        return;
    FByteSize = Value;
    ApplyLineSettings();
}

void TBComPort::SetParity(TParity Value) {
    if (Value == FParity)
        return;
    FParity = Value;
    ApplyLineSettings();
}

void TBComPort::SetStopBits(TStopBits Value) {
    if (Value == FStopBits)
        return;
    FStopBits = Value;
    ApplyLineSettings();
}

void TBComPort::SetInBufSize(int Value) {
    if (Value == FInBufSize)
        return;
    FInBufSize = Value;
    if (FInBufSize > 0 && FInBufSize % 2 != 0)
        --FInBufSize;
    ApplyBufferSizes();
}

void TBComPort::SetOutBufSize(int Value) {
    if (Value == FOutBufSize)
        return;
    FOutBufSize = Value;
    if (FOutBufSize > 0 && FOutBufSize % 2 != 0)
        --FOutBufSize;
    ApplyBufferSizes();
}

void TBComPort::SetPort(const QString& Value) {
    if (FConnected)
        RaiseComError(13);
    if (Value == FPort)
        return;
    FPort = Value;
}

void TBComPort::SetSyncMethod(TSyncMethod Value) {
    if (Value == FSyncMethod)
        return;
    if (FConnected)
        RaiseComError(13);
    FSyncMethod = Value;
}

void TBComPort::SetTimeouts(const TComTimeouts& Value) {
    Value.AssignTo(FTimeouts);
    ApplyTimeouts();
}

// --- Data transfer --------------------------------------------------------------------------

int TBComPort::WriteAsync(const void* Buffer, int Count, PPortOperation& Op) {
    if (!Op)
        RaiseComError(5);
    PreparePortOperation(pkWrite, Buffer, Count, Op);
    comm::DWORD written = 0;
    if (comm::WriteFile(FHandle, Op->Data.get(), comm::DWORD(Op->Size), &written, &Op->Overlapped))
        return int(written);
    if (comm::GetLastError() == comm::ERROR_IO_PENDING)
        return int(written);
    RaiseComError(3);
}

int TBComPort::WriteStrAsync(const std::string& Str, PPortOperation& Op) {
    if (Str.empty())
        return 0;
    return WriteAsync(Str.data(), int(Str.size()), Op);
}

int TBComPort::WaitForAsync(PPortOperation& Op) {
    if (!Op)
        RaiseComError(5);
    comm::DWORD transferred = 0;
    if (comm::WaitForSingleObject(Op->Overlapped.hEvent, comm::INFINITE) != comm::WAIT_OBJECT_0 ||
        !comm::GetOverlappedResult(FHandle, &Op->Overlapped, &transferred, false))
        RaiseComError(Op->Kind == pkRead ? 4 : 3);
    return int(transferred);
}

int TBComPort::WriteStr(const std::string& Str) {
    PPortOperation op;
    NewPortOperation(op);
    try {
        WriteStrAsync(Str, op);
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
    if (!comm::ClearCommError(FHandle, &errors, &status))
        RaiseComError(10);
    return int(status.cbInQue);
}

TLineSignals TBComPort::LineSignals() {
    comm::DWORD status = 0;
    if (!comm::GetCommModemStatus(FHandle, &status))
        RaiseComError(11);
    TLineSignals lines;
    if ((status & comm::MS_CTS_ON) != 0)
        lines.Include(lsCTS);
    if ((status & comm::MS_DSR_ON) != 0)
        lines.Include(lsDSR);
    if ((status & comm::MS_RING_ON) != 0)
        lines.Include(lsRing);
    if ((status & comm::MS_RLSD_ON) != 0)
        lines.Include(lsRLSD);
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
    if (count > 0 && OnRxChar)
        OnRxChar(this, count);
}

void TBComPort::DoTxEmpty() {
    if (OnTxEmpty)
        OnTxEmpty(this);
}

void TBComPort::DoRing() {
    if (OnRing)
        OnRing(this);
}

void TBComPort::DoCTSChange() {
    if (OnCTSChange)
        OnCTSChange(this, LineSignals().Contains(lsCTS));
}

void TBComPort::DoDSRChange() {
    if (OnDSRChange)
        OnDSRChange(this, LineSignals().Contains(lsDSR));
}

void TBComPort::DoRLSDChange() {
    if (OnRLSDChange)
        OnRLSDChange(this, LineSignals().Contains(lsRLSD));
}

void TBComPort::DoError() {
    comm::DWORD flags = 0;
    comm::COMSTAT status{};
    if (!comm::ClearCommError(FHandle, &flags, &status))
        RaiseComError(10);
    TComErrors errors;
    for (const ErrorFlag& entry : ErrorFlags) {
        if ((flags & entry.flag) == 0)
            continue;
        if (entry.error == ceRxParity && FParity == paNone)
            continue;
        errors.Include(entry.error);
    }
    if (!errors.Empty() && OnError)
        OnError(this, errors);
}

void TBComPort::DoRx80Full() {
    if (OnRx80Full)
        OnRx80Full(this);
}

void TBComPort::NotifyWindowProc(ui::TMessage& Message) {
    if (Message.Msg != WM_PORTEVENT) {
        Message.Result =
            ui::DefWindowProc(FNotifyWindow.get(), Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    try {
        if (ui::InSendMessage())
            ui::ReplyMessage(0);
        if (!FConnected)
            return;
        switch (Message.WParam) {
        case comm::EV_RXCHAR:
            DoRxChar();
            break;
        case comm::EV_TXEMPTY:
            DoTxEmpty();
            break;
        case comm::EV_CTS:
            DoCTSChange();
            break;
        case comm::EV_DSR:
            DoDSRChange();
            break;
        case comm::EV_RLSD:
            DoRLSDChange();
            break;
        case comm::EV_ERR:
            DoError();
            break;
        case comm::EV_RING:
            DoRing();
            break;
        case comm::EV_RX80FULL:
            DoRx80Full();
            break;
        default:
            break;
        }
    } catch (...) {
        ui::ShowCurrentException();
    }
}

// TBComPort: the watch events and the steps that raise the published events.
#include "serial/BCPort.h"

#include "platform/ui/Application.h"
#include "serial/BCPortPrivate.h"
#include "serial/ComThread.h"

#include <iterator>

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

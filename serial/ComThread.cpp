#include "serial/ComThread.h"

namespace {

// Order in which a batch is dispatched: errors before received data.
constexpr TWatchEvent DispatchOrder[8] = {weError, weRxChar, weTxEmpty, weRing,
                                          weCTS,   weDSR,    weRLSD,    weRx80Full};

} // namespace

comm::DWORD EventsToMask(TWatchEvents Events) {
    comm::DWORD mask = 0;
    for (unsigned e = 0; e < 8; ++e)
        if (Events.Contains(TWatchEvent(e)))
            mask |= WatchEventMasks[e];
    return mask;
}

TWatchEvents MaskToEvents(comm::DWORD Mask) {
    TWatchEvents events;
    for (unsigned e = 0; e < 8; ++e)
        if ((Mask & WatchEventMasks[e]) != 0)
            events.Include(TWatchEvent(e));
    return events;
}

TComThread::TComThread(TBComPort* AComPort) : ui::TThread(true), FComPort(AComPort) {
    FStopEvent = comm::CreateEventA(nullptr, true, false, nullptr);
    SetPriority(FComPort->EventThreadPriority());
    comm::SetCommMask(FComPort->Handle(), EventsToMask(FComPort->WatchEvents()));
    try {
        Start();
    } catch (...) {
        comm::CloseHandle(FStopEvent);
        throw;
    }
}

TComThread::~TComThread() {
    SignalStop();
    Destroying();
}

void TComThread::SignalStop() {
    comm::SetEvent(FStopEvent);
    comm::Sleep(0);
}

void TComThread::Execute() {
    const comm::HANDLE device = FComPort->Handle();
    comm::OVERLAPPED overlapped;
    comm::DWORD mask = 0;
    overlapped.hEvent = comm::CreateEventA(nullptr, true, true, nullptr);
    const comm::HANDLE handles[2] = {FStopEvent, overlapped.hEvent};

    // The exit steps also run when an error from a dispatch ends the thread: clearing the mask
    // ends the pending device wait, which must not outlive its record.
    struct Exit {
        comm::HANDLE device, wait, stop;
        ~Exit() {
            comm::SetCommMask(device, 0);
            comm::PurgeComm(device, comm::PURGE_TXCLEAR | comm::PURGE_RXCLEAR);
            comm::CloseHandle(wait);
            comm::CloseHandle(stop);
        }
    } exit{device, overlapped.hEvent, FStopEvent};

    for (;;) {
        comm::WaitCommEvent(device, &mask, &overlapped);
        const comm::DWORD r = comm::WaitForMultipleObjects(2, handles, false, comm::INFINITE);
        if (r != comm::WAIT_OBJECT_0 + 1)
            break;
        comm::DWORD transferred = 0;
        if (!comm::GetOverlappedResult(device, &overlapped, &transferred, false))
            continue;
        FPendingEvents = MaskToEvents(mask);
        switch (FComPort->SyncMethod()) {
        case smThreadSync:
            Synchronize([this] { DispatchEvents(); });
            break;
        case smWindowSync:
            SendEventMessages();
            break;
        case smNone:
            DispatchEvents();
            break;
        }
    }
}

void TComThread::DispatchEvents() {
    for (TWatchEvent e : DispatchOrder) {
        if (!FPendingEvents.Contains(e))
            continue;
        switch (e) {
        case weError:
            FComPort->DoError();
            break;
        case weRxChar:
            FComPort->DoRxChar();
            break;
        case weTxEmpty:
            FComPort->DoTxEmpty();
            break;
        case weRing:
            FComPort->DoRing();
            break;
        case weCTS:
            FComPort->DoCTSChange();
            break;
        case weDSR:
            FComPort->DoDSRChange();
            break;
        case weRLSD:
            FComPort->DoRLSDChange();
            break;
        case weRx80Full:
            FComPort->DoRx80Full();
            break;
        }
    }
}

void TComThread::SendEventMessages() {
    for (TWatchEvent e : DispatchOrder)
        if (FPendingEvents.Contains(e))
            ui::SendMessage(FComPort->NotifyWindow(), WM_PORTEVENT, WatchEventMasks[e], 0);
}

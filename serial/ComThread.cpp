#include "serial/ComThread.h"

namespace {

// Order in which a batch is dispatched: errors before received data.
constexpr TWatchEvent DispatchOrder[8] = {weError, weRxChar, weTxEmpty, weRing,
                                          weCTS,   weDSR,    weRLSD,    weRx80Full};

} // namespace

comm::DWORD EventsToMask(TWatchEvents events) {
    comm::DWORD mask = 0;
    for (unsigned e = 0; e < 8; ++e) {
        if (events.Contains(TWatchEvent(e))) {
            mask |= WatchEventMasks[e];
        }
    }
    return mask;
}

TWatchEvents MaskToEvents(comm::DWORD mask) {
    TWatchEvents events;
    for (unsigned e = 0; e < 8; ++e) {
        if ((mask & WatchEventMasks[e]) != 0) {
            events.Include(TWatchEvent(e));
        }
    }
    return events;
}

TComThread::TComThread(TBComPort* comPort) : ui::TThread(true), comPort_(comPort) {
    StopEvent = comm::CreateEventA(nullptr, true, false, nullptr);
    SetPriority(comPort_->EventThreadPriority());
    comm::SetCommMask(comPort_->Handle(), EventsToMask(comPort_->WatchEvents()));
    try {
        Start();
    } catch (...) {
        comm::CloseHandle(StopEvent);
        throw;
    }
}

TComThread::~TComThread() {
    SignalStop();
    Destroying();
}

void TComThread::SignalStop() {
    comm::SetEvent(StopEvent);
    comm::Sleep(0);
}

void TComThread::Execute() {
    const comm::HANDLE device = comPort_->Handle();
    comm::OVERLAPPED overlapped;
    comm::DWORD mask = 0;
    overlapped.hEvent = comm::CreateEventA(nullptr, true, true, nullptr);
    const comm::HANDLE handles[2] = {StopEvent, overlapped.hEvent};

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
    } exit{device, overlapped.hEvent, StopEvent};

    for (;;) {
        comm::WaitCommEvent(device, &mask, &overlapped);
        const comm::DWORD r = comm::WaitForMultipleObjects(2, handles, false, comm::INFINITE);
        if (r != comm::WAIT_OBJECT_0 + 1) {
            break;
        }
        comm::DWORD transferred = 0;
        if (!comm::GetOverlappedResult(device, &overlapped, &transferred, false)) {
            continue;
        }
        PendingEvents = MaskToEvents(mask);
        switch (comPort_->SyncMethod()) {
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
        if (PendingEvents.Contains(e)) {
            comPort_->DoEvent(e);
        }
    }
}

void TComThread::SendEventMessages() {
    for (TWatchEvent e : DispatchOrder) {
        if (PendingEvents.Contains(e)) {
            ui::SendMessage(comPort_->NotifyWindow(), WM_PORTEVENT, WatchEventMasks[e], 0);
        }
    }
}

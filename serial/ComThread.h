#pragma once

// The event thread of an open TBComPort: waits on the device for the events of WatchEvents
// and hands each batch to the component, by the component's SyncMethod: through the
// synchronise call (smThreadSync), as one WM_PORTEVENT per event sent to NotifyWindow
// (smWindowSync), or by running the dispatch itself (smNone).

#include "platform/comm/Comm.h"
#include "platform/ui/NotifyWindow.h"
#include "platform/ui/TThread.h"
#include "serial/BCPort.h"

// Message sent to NotifyWindow per event; its first parameter is the event's system value.
inline constexpr ui::UINT WM_PORTEVENT = ui::WM_USER + 1;

// Watch events and the system's event mask, element by element (bits 0 … 7 of TWatchEvents).
inline constexpr comm::DWORD WatchEventMasks[8] = {
    comm::EV_RXCHAR, comm::EV_TXEMPTY, comm::EV_RING, comm::EV_CTS,
    comm::EV_DSR,    comm::EV_RLSD,    comm::EV_ERR,  comm::EV_RX80FULL,
};

comm::DWORD EventsToMask(TWatchEvents events);
// Mask bits outside the table are dropped.
TWatchEvents MaskToEvents(comm::DWORD mask);

class TComThread : public ui::TThread {
public:
    // Created suspended; takes the component's EventThreadPriority, sets the event mask from
    // its WatchEvents, then starts.
    explicit TComThread(TBComPort* comPort);
    // Signals the stop and waits for the end (serving the thread's pending requests when
    // called on the user-interface thread).
    ~TComThread() override;

protected:
    void Execute() override;

private:
    void SignalStop();
    void DispatchEvents();
    void SendEventMessages();

    TBComPort* comPort_;
    TWatchEvents PendingEvents;
    comm::HANDLE StopEvent = comm::INVALID_HANDLE_VALUE;
};

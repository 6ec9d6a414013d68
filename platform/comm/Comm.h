#pragma once

// The serial communications calls over a device backend (Device.h): open and close, queue
// sizes, line settings (DCB), time-outs, control lines, purge, overlapped writes, event waits,
// error flags and modem status, with events to wait on.
//
// Handles are 32-bit numbers; devices and events share one handle table, so CloseHandle
// closes either. Every call that fails returns false (or INVALID_HANDLE_VALUE / WAIT_FAILED)
// and leaves an error code (the ERROR_* values below) for GetLastError() on the calling thread.
//
// Names are opened in a process-wide device directory, by default the system's: "\\.\" on
// Windows (DevicePath("COM9") is "\\.\COM9"), "/dev" on Linux, its counterpart
// (DevicePath("ttyUSB0") is "/dev/ttyUSB0"). Tests point it at a directory of
// their own with SetDeviceDirectory(), holding links to pseudo-terminals they created, or plug a
// SimulatedLine (SimulatedLine.h) under a name.

#include <cstdint>
#include <memory>
#include <string>

namespace comm {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using HANDLE = std::uint32_t;

inline constexpr HANDLE INVALID_HANDLE_VALUE = 0xFFFFFFFFu;
inline constexpr DWORD MAXDWORD = 0xFFFFFFFFu;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

// Error codes (GetLastError).
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_BAD_COMMAND = 22;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_IO_INCOMPLETE = 996;
inline constexpr DWORD ERROR_IO_PENDING = 997;
// The device has gone away (adapter unplugged, pseudo-terminal's other side closed): nothing
// will ever succeed on the handle again.
inline constexpr DWORD ERROR_DEVICE_REMOVED = 1617;

// CreateFileA arguments.
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

// DCB flags word.
inline constexpr DWORD DCB_fBinary = 0x0001;
inline constexpr DWORD DCB_fParity = 0x0002;
inline constexpr DWORD DCB_fOutxCtsFlow = 0x0004;
inline constexpr DWORD DCB_fOutxDsrFlow = 0x0008;
inline constexpr DWORD DCB_fDtrControlMask = 0x0030;
inline constexpr DWORD DCB_DTR_CONTROL_ENABLE = 0x0010;
inline constexpr DWORD DCB_fDsrSensitivity = 0x0040;
inline constexpr DWORD DCB_fTXContinueOnXoff = 0x0080;
inline constexpr DWORD DCB_fOutX = 0x0100;
inline constexpr DWORD DCB_fInX = 0x0200;
inline constexpr DWORD DCB_fErrorChar = 0x0400;
inline constexpr DWORD DCB_fNull = 0x0800;
inline constexpr DWORD DCB_fRtsControlMask = 0x3000;
inline constexpr DWORD DCB_RTS_CONTROL_ENABLE = 0x1000;
inline constexpr DWORD DCB_RTS_CONTROL_HANDSHAKE = 0x2000;
inline constexpr DWORD DCB_fAbortOnError = 0x4000;

inline constexpr BYTE NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr BYTE ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

// Line settings block: rate, flags word, flow-control limits, frame and special characters
// (28 bytes, the layout the serial component fills field by field).
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD Flags; // the flag bits as one word (DCB_f* above)
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
static_assert(sizeof(DCB) == 28);

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct COMSTAT {
    DWORD Flags;
    DWORD cbInQue;
    DWORD cbOutQue;
};

// EscapeCommFunction.
inline constexpr DWORD SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6;
// PurgeComm.
inline constexpr DWORD PURGE_TXABORT = 0x0001, PURGE_RXABORT = 0x0002, PURGE_TXCLEAR = 0x0004,
                       PURGE_RXCLEAR = 0x0008;
// Event mask.
inline constexpr DWORD EV_RXCHAR = 0x0001, EV_RXFLAG = 0x0002, EV_TXEMPTY = 0x0004, EV_CTS = 0x0008,
                       EV_DSR = 0x0010, EV_RLSD = 0x0020, EV_BREAK = 0x0040, EV_ERR = 0x0080,
                       EV_RING = 0x0100, EV_RX80FULL = 0x0400;
// Error flags (ClearCommError).
inline constexpr DWORD CE_RXOVER = 0x0001, CE_OVERRUN = 0x0002, CE_RXPARITY = 0x0004,
                       CE_FRAME = 0x0008, CE_BREAK = 0x0010, CE_TXFULL = 0x0100, CE_IOE = 0x0400,
                       CE_MODE = 0x8000;
// Modem status (GetCommModemStatus).
inline constexpr DWORD MS_CTS_ON = 0x0010, MS_DSR_ON = 0x0020, MS_RING_ON = 0x0040,
                       MS_RLSD_ON = 0x0080;
// Waits.
inline constexpr DWORD WAIT_OBJECT_0 = 0, WAIT_TIMEOUT = 258, WAIT_FAILED = 0xFFFFFFFFu;

class Completion;

// State of one overlapped operation. The completion record is shared with the device, so the
// block may be dropped while the device still finishes the operation.
struct OVERLAPPED {
    std::uintptr_t Internal = 0;     // status of the last operation (0, or its error code)
    std::uintptr_t InternalHigh = 0; // bytes transferred
    DWORD Offset = 0;
    DWORD OffsetHigh = 0;
    HANDLE hEvent = 0; // manual-reset event: cleared when an operation starts, set at its end
    std::shared_ptr<Completion> Pending;
    DWORD* EventMaskOut = nullptr; // WaitCommEvent's mask word, filled by GetOverlappedResult
};

// Device directory that names are opened in.
void SetDeviceDirectory(const std::string& directory);
std::string DeviceDirectory();
std::string DevicePath(const std::string& name);

DWORD GetLastError();
void SetLastError(DWORD error);

// Opens a device (access, share mode, creation and flags are taken as the serial component
// passes them: read/write, exclusive, existing, overlapped). Missing device: error 2; device
// in use or not permitted: error 5; anything else: another code.
HANDLE CreateFileA(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE templateFile);
bool CloseHandle(HANDLE handle);

bool SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue);
// Fails with ERROR_INVALID_PARAMETER, the line unchanged, for a rate or a frame that the
// adapter behind the device cannot make (ports::AdapterRatesOfDevice, looked up when the device
// is opened).
bool SetCommState(HANDLE device, const DCB* dcb);
bool SetCommTimeouts(HANDLE device, const COMMTIMEOUTS* timeouts);
bool EscapeCommFunction(HANDLE device, DWORD function);
bool PurgeComm(HANDLE device, DWORD flags);

// Starts a write. True when it completed at once (written = count); false with
// ERROR_IO_PENDING while it goes on; any other false is a failure. It completes when the
// driver's output queue is empty, or early when the write total time-out ends it, reporting
// the bytes actually sent.
bool WriteFile(HANDLE device, const void* buffer, DWORD count, DWORD* written,
               OVERLAPPED* overlapped);
// Result of the last operation on the block; with wait false and the operation still going
// on: false with ERROR_IO_INCOMPLETE.
bool GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* transferred, bool wait);

bool SetCommMask(HANDLE device, DWORD mask);
// Starts a wait for the events of the mask; setting another mask ends a pending wait at once
// with an empty mask word.
bool WaitCommEvent(HANDLE device, DWORD* eventMask, OVERLAPPED* overlapped);
bool ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status);
bool GetCommModemStatus(HANDLE device, DWORD* modemStatus);

HANDLE CreateEventA(void* securityAttributes, bool manualReset, bool initialState,
                    const char* name);
bool SetEvent(HANDLE event);
bool ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* events, bool waitAll, DWORD milliseconds);
void Sleep(DWORD milliseconds);

} // namespace comm

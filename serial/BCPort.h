#pragma once

// The serial port component: TBComPort owns one serial port, its settings, its data transfer
// and, while open, a thread that watches the line (ComThread.h). Every failure is raised as
// EComPort with one of the fixed texts of ComErrorMessages.
//
// Ports are named as the port list gives them ("ttyUSB0"); the device opened is
// comm::DevicePath(Port()), i.e. the name in the device directory ("/dev" unless set with
// comm::SetDeviceDirectory). Tests give a port the simulated backend by plugging a
// comm::SimulatedLine in under a name (platform/comm/SimulatedLine.h) and setting Port to it.

#include "platform/comm/Comm.h"
#include "platform/ui/Exception.h"
#include "platform/ui/NotifyWindow.h"
#include "platform/ui/TThread.h"
#include "serial/Sets.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TComThread;
struct TPortOperation;

enum TBaudRate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};

// Line rate of each TBaudRate ordinal, bit/s.
inline constexpr comm::DWORD ComBaudRates[15] = {110,   300,   600,    1200,   2400,
                                                 4800,  9600,  14400,  19200,  38400,
                                                 56000, 57600, 115200, 128000, 256000};

enum TByteSize : std::uint8_t { bs5, bs6, bs7, bs8 };
enum TParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : std::uint8_t { sb1, sb1_5, sb2 };
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };

enum TWatchEvent : std::uint8_t {
    weRxChar,
    weTxEmpty,
    weRing,
    weCTS,
    weDSR,
    weRLSD,
    weError,
    weRx80Full
};
using TWatchEvents = TSet<TWatchEvent>;
inline constexpr TWatchEvents AllWatchEvents = TWatchEvents::FromBits(0xFF);

enum TComError : std::uint8_t {
    ceFrame,
    ceRxParity,
    ceOverrun,
    ceBreak,
    ceIO,
    ceMode,
    ceRxOver,
    ceTxFull
};
using TComErrors = TSet<TComError>;

enum TLineSignal : std::uint8_t { lsCTS, lsDSR, lsRing, lsRLSD };
using TLineSignals = TSet<TLineSignal>;

using TThreadPriority = ui::TThreadPriority;

// Event handlers; Sender is the component.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TComSignalEvent = std::function<void(QObject* Sender, bool State)>;
using TComErrorEvent = std::function<void(QObject* Sender, TComErrors Errors)>;
using TRxCharEvent = std::function<void(QObject* Sender, int Count)>;

// The component's messages, numbered 1 … 14 in this order.
inline constexpr const char* ComErrorMessages[14] = {
    "Попытка открыть несуществующий COM-порт",
    "Порт занят другой программой",
    "Ошибка записи в порт",
    "Ошибка чтения из порта",
    "Недопустимый параметр Async",
    "Ошибка функции PurgeComm",
    "Ошибка функции SetCommState",
    "Ошибка функции SetCommTimeouts",
    "Ошибка функции SetupComm",
    "Ошибка функции ClearCommError",
    "Ошибка функции GetCommModemStatus",
    "Ошибка функции EscapeCommFunction",
    "Нельзя менять свойство, пока порт открыт",
    "Ошибка обращения к системному реестру",
};

class EComPort : public Exception {
public:
    using Exception::Exception;
};

// Raises EComPort with message number 1 … 14.
[[noreturn]] void RaiseComError(int number);

class TBComPort;

// Time-out settings in milliseconds; a negative value reaches the device as 0xFFFFFFFF.
class TComTimeouts {
public:
    TComTimeouts() = default;
    TComTimeouts(const TComTimeouts&) = delete;
    TComTimeouts& operator=(const TComTimeouts&) = delete;

    // Copies the five values into Dest directly (its setters are not run).
    void AssignTo(TComTimeouts& Dest) const;

    int ReadInterval() const { return FReadInterval; }
    int ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    int ReadTotalConstant() const { return FReadTotalConstant; }
    int WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    int WriteTotalConstant() const { return FWriteTotalConstant; }
    // Each stores a new value and has the owning component re-apply its time-outs.
    void SetReadInterval(int Value);
    void SetReadTotalMultiplier(int Value);
    void SetReadTotalConstant(int Value);
    void SetWriteTotalMultiplier(int Value);
    void SetWriteTotalConstant(int Value);

private:
    friend class TBComPort;
    void Changed();

    TBComPort* FComPort = nullptr;
    int FReadInterval = -1;
    int FReadTotalMultiplier = 0;
    int FReadTotalConstant = 0;
    int FWriteTotalMultiplier = 100;
    int FWriteTotalConstant = 1000;
};

// One overlapped operation (PortOperation.cpp). The operation reference is a
// PPortOperation; an empty one is "no record".
enum TPortOperationKind : std::uint8_t { pkWrite, pkRead };

struct TPortOperation {
    comm::OVERLAPPED Overlapped;
    TPortOperationKind Kind = pkWrite;
    std::unique_ptr<std::uint8_t[]> Data;
    int Size = 0;
    ~TPortOperation();
};
using PPortOperation = std::unique_ptr<TPortOperation>;

// A record with its own manual-reset event, created signalled, no data.
void NewPortOperation(PPortOperation& Op);
// Sets the kind and replaces the record's copy of the bytes.
void PreparePortOperation(TPortOperationKind Kind, const void* Buffer, int Count,
                          PPortOperation& Op);
// Closes the record's event, frees it and empties the reference.
void FreePortOperation(PPortOperation& Op);

// Bytes as they go on the line: the text in Windows-1251 (characters it lacks become '?').
std::string ToWindows1251(const QString& Text);

// Threads. The component belongs to the thread that opens it (the owner). While the port is
// open, one other thread may write (WriteStr, or WriteAsync and WaitForAsync on records of its
// own) and read Connected, which does not change while the port stays open. Meanwhile the owner
// may change the line settings (the setters reconfigure the open device at once, also under a
// pending write) and call AbortTransfers, which ends a pending write at once: its wait returns
// and raises the write error. Open, Close, SetPort and SetSyncMethod are for the owner alone
// and only while no other thread uses the component: Close does not wait for a writer, so the
// writer must have ended before. The device calls underneath are safe between threads.
class TBComPort : public QObject {
public:
    explicit TBComPort(QObject* AOwner = nullptr);
    ~TBComPort() override;

    bool Open();
    bool Close();
    bool Connected() const { return FConnected; }

    // The device handle; comm::INVALID_HANDLE_VALUE while closed.
    comm::HANDLE Handle() const { return FHandle; }
    TComThread* EventThread() const { return FEventThread.get(); }
    ui::HWND NotifyWindow() const { return FNotifyWindow.get(); }

    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    TByteSize ByteSize() const { return FByteSize; }
    void SetByteSize(TByteSize Value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    int InBufSize() const { return FInBufSize; }
    void SetInBufSize(int Value);
    int OutBufSize() const { return FOutBufSize; }
    void SetOutBufSize(int Value);
    QString Port() const { return FPort; }
    void SetPort(const QString& Value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);
    TComTimeouts& Timeouts() { return FTimeouts; }
    const TComTimeouts& Timeouts() const { return FTimeouts; }
    // Copies the five values and re-applies them, also when they are equal.
    void SetTimeouts(const TComTimeouts& Value);
    // Read only when the port opens.
    TThreadPriority EventThreadPriority() const { return FEventThreadPriority; }
    void SetEventThreadPriority(TThreadPriority Value) { FEventThreadPriority = Value; }
    TWatchEvents WatchEvents() const { return FWatchEvents; }
    void SetWatchEvents(TWatchEvents Value) { FWatchEvents = Value; }

    void SetDTR(bool State);
    void SetRTS(bool State);
    void AbortTransfers();

    // Steps of Open and of the setters.
    void OpenDevice();
    void CloseDevice();
    void ApplySettings();
    void ApplyBufferSizes();
    void ApplyLineSettings();
    void ApplyTimeouts();

    // Data transfer. WriteAsync and WriteStrAsync start a write and return the count written at
    // once (0 when it goes on in the background); WaitForAsync waits for its end and returns
    // the bytes transferred. WriteStr writes and waits; its string is the bytes that go on the
    // line (8-bit, no terminator). The QString form sends the text in Windows-1251.
    int WriteAsync(const void* Buffer, int Count, PPortOperation& Op);
    int WriteStrAsync(const std::string& Str, PPortOperation& Op);
    int WaitForAsync(PPortOperation& Op);
    int WriteStr(const std::string& Str);
    int WriteStr(const QString& Str) { return WriteStr(ToWindows1251(Str)); }
    int WriteStr(const char* Str) { return WriteStr(std::string(Str)); }
    int InputCount();
    TLineSignals LineSignals();

    // Event firing, called by the event thread's dispatch.
    void DoRxChar();
    void DoTxEmpty();
    void DoRing();
    void DoCTSChange();
    void DoDSRChange();
    void DoRLSDChange();
    void DoError();
    void DoRx80Full();
    // Window procedure of NotifyWindow.
    void NotifyWindowProc(ui::TMessage& Message);

    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComErrorEvent OnError;
    TNotifyEvent OnRing;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRx80Full;
    TRxCharEvent OnRxChar;
    TNotifyEvent OnTxEmpty;

private:
    TBaudRate FBaudRate = br9600;
    TByteSize FByteSize = bs8;
    bool FConnected = false;
    TThreadPriority FEventThreadPriority = ui::tpNormal;
    TWatchEvents FWatchEvents = AllWatchEvents;
    std::unique_ptr<TComThread> FEventThread;
    comm::HANDLE FHandle = comm::INVALID_HANDLE_VALUE;
    int FInBufSize = 2048;
    int FOutBufSize = 2048;
    TParity FParity = paNone;
    QString FPort = QStringLiteral("COM2");
    TStopBits FStopBits = sb1;
    TSyncMethod FSyncMethod = smThreadSync;
    TComTimeouts FTimeouts;
    std::unique_ptr<ui::TNotifyWindow> FNotifyWindow;
};

// Fills Strings with the names of the machine's serial ports, sorted case-insensitively in
// the user's locale (not numerically: ttyS10 before ttyS2), duplicates kept. The old content
// is replaced only on success; a port source that cannot be read raises message 14.
void ListComPorts(QStringList& Strings);

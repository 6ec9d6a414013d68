#pragma once

// The serial port component: TBComPort owns one serial port, its settings, its data transfer
// and, while open, a thread that watches the line (ComThread.h). Every failure is raised as
// EComPort with one of the fixed texts of ComErrorMessages, named by ComMessage.
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
#include <atomic>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

class TComThread;

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

// Event handlers; the first argument is the component.
using TNotifyEvent = std::function<void(QObject* sender)>;
using TComSignalEvent = std::function<void(QObject* sender, bool state)>;
using TComErrorEvent = std::function<void(QObject* sender, TComErrors errors)>;
using TRxCharEvent = std::function<void(QObject* sender, int count)>;

// The component's messages, named after their texts, in the order of ComErrorMessages
// (numbers 1 … 14).
enum class ComMessage : std::uint8_t {
    NoSuchPort = 1,
    PortBusy,
    WriteError,
    ReadError,
    InvalidAsync,
    PurgeComm,
    SetCommState,
    SetCommTimeouts,
    SetupComm,
    ClearCommError,
    GetCommModemStatus,
    EscapeCommFunction,
    PropertyWhileOpen,
    RegistryError,
};

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
static_assert(std::size(ComErrorMessages) == std::size_t(ComMessage::RegistryError));

inline constexpr const char* ComMessageText(ComMessage message) {
    return ComErrorMessages[std::size_t(message) - 1];
}

class EComPort : public Exception {
public:
    using Exception::Exception;
};

class TBComPort;

// Time-out settings in milliseconds; a negative value reaches the device as 0xFFFFFFFF.
class TComTimeouts {
public:
    TComTimeouts() = default;
    TComTimeouts(const TComTimeouts&) = delete;
    TComTimeouts& operator=(const TComTimeouts&) = delete;

    // Copies the five values into dest directly (its setters are not run).
    void AssignTo(TComTimeouts& dest) const;

    int ReadInterval() const { return readInterval_; }
    int ReadTotalMultiplier() const { return readTotalMultiplier_; }
    int ReadTotalConstant() const { return readTotalConstant_; }
    int WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    int WriteTotalConstant() const { return writeTotalConstant_; }
    // Each stores a new value and has the owning component re-apply its time-outs.
    void SetReadInterval(int value);
    void SetReadTotalMultiplier(int value);
    void SetReadTotalConstant(int value);
    void SetWriteTotalMultiplier(int value);
    void SetWriteTotalConstant(int value);

private:
    friend class TBComPort;
    void Changed();

    TBComPort* comPort_ = nullptr;
    int readInterval_ = -1;
    int readTotalMultiplier_ = 0;
    int readTotalConstant_ = 0;
    int writeTotalMultiplier_ = 100;
    int writeTotalConstant_ = 1000;
};

// The record of one overlapped operation (serial/PortOperation.h). The operation reference is
// a PPortOperation; an empty one is "no record".
struct TPortOperation;
using PPortOperation = std::unique_ptr<TPortOperation>;

// Bytes as they go on the line: the text in Windows-1251 (characters it lacks become '?').
std::string ToWindows1251(const QString& text);

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
    explicit TBComPort(QObject* owner = nullptr);
    ~TBComPort() override;

    bool Open();
    bool Close();
    bool Connected() const { return connected_; }

    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    TByteSize ByteSize() const { return byteSize_; }
    void SetByteSize(TByteSize value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    int InBufSize() const { return inBufSize_; }
    void SetInBufSize(int value);
    int OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(int value);
    QString Port() const { return port_; }
    void SetPort(const QString& value);
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod value);
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    // Copies the five values and re-applies them, also when they are equal.
    void SetTimeouts(const TComTimeouts& value);
    // Read only when the port opens.
    TThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(TThreadPriority value) { eventThreadPriority_ = value; }
    TWatchEvents WatchEvents() const { return watchEvents_; }
    void SetWatchEvents(TWatchEvents value) { watchEvents_ = value; }
    // The hidden window of smWindowSync; null unless open with that method.
    ui::HWND NotifyWindow() const { return notifyWindow_.get(); }

    void SetDTR(bool state);
    void SetRTS(bool state);
    void AbortTransfers();

    // Data transfer. WriteAsync and WriteStrAsync start a write and return the count written at
    // once (0 when it goes on in the background); WaitForAsync waits for its end and returns
    // the bytes transferred. WriteStr writes and waits; its string is the bytes that go on the
    // line (8-bit, no terminator). The QString form sends the text in Windows-1251.
    int WriteAsync(const void* buffer, int count, PPortOperation& op);
    int WriteStrAsync(const std::string& str, PPortOperation& op);
    int WaitForAsync(PPortOperation& op);
    int WriteStr(const std::string& str);
    int WriteStr(const QString& str) { return WriteStr(ToWindows1251(str)); }
    int WriteStr(const char* str) { return WriteStr(std::string(str)); }
    int InputCount();
    TLineSignals LineSignals();

    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComErrorEvent OnError;
    TNotifyEvent OnRing;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRx80Full;
    TRxCharEvent OnRxChar;
    TNotifyEvent OnTxEmpty;

private:
    // The event thread reads the device handle and runs the event steps; the time-outs
    // re-apply themselves; the tests look at the handle and the thread.
    friend class TComThread;
    friend class TComTimeouts;
    friend struct TBComPortTestAccess;

    // The device handle; comm::INVALID_HANDLE_VALUE while closed.
    comm::HANDLE Handle() const { return handle_; }
    TComThread* EventThread() const { return eventThread_.get(); }

    // Steps of Open and of the setters.
    void OpenDevice();
    void CloseDevice();
    void ApplySettings();
    void ApplyBufferSizes();
    void ApplyLineSettings();
    void ApplyTimeouts();

    // Event steps: each fires its event.
    void DoRxChar();
    void DoTxEmpty();
    void DoRing();
    void DoCTSChange();
    void DoDSRChange();
    void DoRLSDChange();
    void DoError();
    void DoRx80Full();
    // Runs the step of one event.
    void DoEvent(TWatchEvent event);
    // Window procedure of NotifyWindow.
    void NotifyWindowProc(ui::TMessage& message);
    // Raises the write error, and notes that a write of the open port failed.
    [[noreturn]] void RaiseWriteError();

    TBaudRate baudRate_ = br9600;
    TByteSize byteSize_ = bs8;
    bool connected_ = false;
    TThreadPriority eventThreadPriority_ = ui::tpNormal;
    TWatchEvents watchEvents_ = AllWatchEvents;
    std::unique_ptr<TComThread> eventThread_;
    comm::HANDLE handle_ = comm::INVALID_HANDLE_VALUE;
    int inBufSize_ = 2048;
    int outBufSize_ = 2048;
    TParity parity_ = paNone;
    QString port_ = QStringLiteral("COM2");
    TStopBits stopBits_ = sb1;
    TSyncMethod syncMethod_ = smThreadSync;
    TComTimeouts timeouts_;
    std::unique_ptr<ui::TNotifyWindow> notifyWindow_;
    // A write of the open port has failed: Close then releases the device whatever its steps
    // answer. Set on the writer's thread, read by Close after the writer has ended.
    std::atomic<bool> writeFailed_ = false;
    std::atomic<bool> aborted_ = false; // AbortTransfers was called since the port opened
};

// Fills strings with the names of the machine's serial ports, sorted case-insensitively in
// the user's locale (not numerically: ttyS10 before ttyS2), duplicates kept. The old content
// is replaced only on success; a port source that cannot be read raises
// ComMessage::RegistryError.
void ListComPorts(QStringList& strings);

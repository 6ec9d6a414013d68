#pragma once

#include "platform/base/PiMutex.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/SleepInhibitor.h"

#include <QWidget>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <string>

class QGroupBox;
class QLabel;

class TBComPort;
enum TBaudRate : std::uint8_t;
class TPortWatch;
class TChart;
class TLineSeries;
class TGauge;
class TSpinEdit;

namespace ui {
class TButton;
class TComboBox;
class TEdit;
class TThreadTimer;
class TTimer;
class TTimerBatch;
class TTrackBar;
} // namespace ui

// The generator's one window. Controls are named as in the window's stored layout; each is a
// child of Panel1 or of one of its group boxes and is created in stacking order.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    static constexpr int kClientWidth = 622;
    static constexpr int kClientHeight = 549;

    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    TSpinEdit* SpinEdit2 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    ui::TEdit* Edit2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    ui::TEdit* Edit3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLabel* Label2 = nullptr;
    ui::TComboBox* cbBaudRate = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    ui::TComboBox* cbPort = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    TGauge* Gauge1 = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    ui::TButton* btnConnect = nullptr;
    ui::TTrackBar* TrackBar1 = nullptr;
    QGroupBox* GroupBox9 = nullptr;
    ui::TEdit* Edit1 = nullptr;
    ui::TEdit* Edit4 = nullptr;
    ui::TButton* Button13 = nullptr;
    ui::TButton* Button14 = nullptr;
    QGroupBox* GroupBox8 = nullptr;
    ui::TButton* btnDisconnect = nullptr;
    TChart* Chart1 = nullptr;
    TLineSeries* Series1 = nullptr;

    TBComPort* BComPort1 = nullptr;

    // The pulse writer: its ticks run on a thread of its own while a run is on the line.
    ui::TThreadTimer* Timer1 = nullptr;
    ui::TTimer* Timer2 = nullptr;
    ui::TTimer* Timer3 = nullptr;
    ui::TTimer* Timer4 = nullptr;
    ui::TTimer* Timer5 = nullptr;

    // Window state shared by the run control and the preview.
    double RemainingSeconds = 0.0;
    double PulseLevel = 0.0;
    std::int32_t SampleIndex = 0;

    // The controls that take the focus, in tab order.
    QList<QWidget*> TabOrder() const;

    // Run control.
    void btnConnectClick();
    void btnDisconnectClick();
    void cbBaudRateChange();
    void TrackBar1Change();
    void Button13Click();
    void Button14Click();
    // The writer's tick, on Timer1's thread.
    void Timer1Timer();
    void Timer2Timer();

    // Clock and pulse preview.
    void Timer3Timer();
    void Timer4Timer();
    void Timer5Timer();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreateTimers();
    void CreatePort();
    void WireHandlers();
    // The idle state of the controls and preview timers, as STOP and the end of a run leave it.
    void EnterIdle();
    // Edit1's background: the idle and the running colour.
    void SetPatternColor(TColor color);
    // Gives the port the frequency index (the rate ordinal) that the list or the slider chose.
    void ApplyFrequency(int index);
    void FormCreate();
    void CentreOnScreen();
    // Edit1's text as the line takes it, handed to the writer's thread on every change.
    void HandOverPattern();
    std::string DutyPattern() const;
    // A write failed on the writer's thread; runs on the window's thread.
    void Timer1Failed(std::exception_ptr error);

    // Tooltips on the frequency, duty and run-length controls, computed as they are shown.
    void SetUpToolTips();
    // The port list follows the ports the system has: read again when they change while idle,
    // after the run when they change during one. Each item's tooltip names its device.
    void SetUpPortWatch();
    void PortsChanged();
    void RefreshPortList();
    void DescribePorts();

    bool shown_ = false;
    // Delivers Timer4's and Timer5's ticks once per chart frame.
    ui::TTimerBatch* previewFrames_ = nullptr;
    TPortWatch* portWatch_ = nullptr;
    bool portListStale_ = false;
    // The port the operator works with: the one chosen in the list or last started on. When it
    // vanishes the list falls back to another item, and selects it again when it comes back.
    QString operatorPort_;
    // The rate the open line runs at: the one it was opened with or last changed to. A refused
    // change leaves the port's stored rate at the refused one and the line at this one.
    TBaudRate lineRate_ = {};
    std::optional<TColor> patternColor_;
    // Keeps the system from sleeping for idleness while a run is on the line.
    std::optional<ui::TSleepInhibitor> sleepInhibitor_;
    mutable base::PiMutex patternMutex_; // the writer's real-time thread reads it every tick
    std::string pattern_;
};

// Sets a control's background and text colours.
void SetControlColors(QWidget* control, TColor color, TColor fontColor);

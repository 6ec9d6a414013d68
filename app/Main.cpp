#include "app/Main.h"

#include "app/PortHints.h"
#include "app/PreviewChart.h"
#include "app/PulseFigures.h"
#include "platform/base/Change.h"
#include "platform/ports/PortNames.h"
#include "platform/ports/PortWatch.h"
#include "platform/ui/Application.h"
#include "platform/ui/FormatSettings.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TThreadTimer.h"
#include "platform/ui/TTimer.h"
#include "platform/ui/TTrackBar.h"
#include "platform/ui/ToolTip.h"
#include "serial/BCPort.h"
#include "widgets/Chart.h"
#include "widgets/ChartSeries.h"
#include "widgets/Gauges.h"
#include "widgets/Spin.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <cstdint>
#include <iterator>

TMainForm::TMainForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Контроллер управления форсунками Tavrix_v.5"));
    // Single fixed border: caption with system menu and minimise box, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    CreateControls();
    CreatePort();
    CreateTimers();
    WireHandlers();
    ui::RunHandler([this] { FormCreate(); });
    SetUpToolTips();
    SetUpPortWatch();
}

TMainForm::~TMainForm() {
    // The writer's thread ends before the port it writes to goes.
    Timer1->SetEnabled(false);
}

void TMainForm::FormCreate() {
    QStringList ports = cbPort->Items();
    ListComPorts(ports);
    cbPort->SetItems(ports);
    cbPort->SetItemIndex(0);
    cbBaudRate->SetItemIndex(3);
    FixPreviewAxes(*Chart1);
    PulseLevel = 1.0;
}

void TMainForm::btnConnectClick() {
    operatorPort_ = cbPort->currentText();
    BComPort1->SetPort(cbPort->currentText());
    BComPort1->SetBaudRate(static_cast<TBaudRate>(cbBaudRate->ItemIndex()));
    if (!BComPort1->Open()) {
        return;
    }
    // Output to the port is no activity to the system's idle timer; EnterIdle lets it go.
    sleepInhibitor_.emplace(QStringLiteral("Выдача импульсов в последовательный порт"));
    lineRate_ = BComPort1->BaudRate();
    Timer1->SetEnabled(true);
    Edit1->setEnabled(true);
    SetPatternColor(clWindow);
    btnConnect->setEnabled(false);
    cbPort->setEnabled(false);
    btnDisconnect->setEnabled(true);
    // Each field selects its whole text as it takes the focus; the focus rests in Edit4.
    Edit1->setFocus(Qt::OtherFocusReason);
    Edit4->setFocus(Qt::OtherFocusReason);
    RemainingSeconds = static_cast<double>(SpinEdit2->Value());
    // A value read without clamping can exceed what the gauge holds: saturate.
    const auto maximum = static_cast<std::int64_t>(std::nearbyint(RemainingSeconds)) * 10;
    Gauge1->SetMaxValue(
        static_cast<std::int32_t>(std::clamp<std::int64_t>(maximum, INT32_MIN, INT32_MAX)));
    Timer2->SetEnabled(true);
    Timer4->SetEnabled(true);
    Timer5->SetEnabled(true);
}

void TMainForm::btnDisconnectClick() {
    Timer1->SetEnabled(false);
    if (!BComPort1->Close()) {
        return;
    }
    EnterIdle();
    RemainingSeconds = 0.0;
    Timer2->SetEnabled(true);
    Timer4->SetEnabled(false);
    Timer5->SetEnabled(false);
}

void TMainForm::EnterIdle() {
    // The idle countdown repeats this on every tick: only a real change reaches the controls.
    sleepInhibitor_.reset();
    btnConnect->setEnabled(true);
    cbPort->setEnabled(true);
    btnDisconnect->setEnabled(false);
    Edit1->setEnabled(false);
    SetPatternColor(clBtnFace);
    if (portListStale_) {
        RefreshPortList();
    }
}

void TMainForm::SetPatternColor(TColor color) {
    if (base::Change(patternColor_, color)) {
        SetControlColors(Edit1, color, clWindowText);
    }
}

void TMainForm::cbBaudRateChange() {
    ApplyFrequency(cbBaudRate->ItemIndex());
    TrackBar1->SetPosition(cbBaudRate->ItemIndex());
}

void TMainForm::TrackBar1Change() {
    ApplyFrequency(cbBaudRate->ItemIndex());
    cbBaudRate->SetItemIndex(TrackBar1->Position());
}

// A rate the open line refuses (one the adapter cannot make) leaves the line at the rate it
// runs at, so the list and the slider go back to that one before the error is reported: they
// never show a frequency the injector does not get. The port keeps the refused rate stored, so
// choosing it again would change nothing there; the line's rate is given back first, and the
// choice is tried, and refused, once more.
void TMainForm::ApplyFrequency(int index) {
    const auto rate = static_cast<TBaudRate>(index);
    const bool running = BComPort1->Connected();
    try {
        if (running && rate == BComPort1->BaudRate() && rate != lineRate_) {
            BComPort1->SetBaudRate(lineRate_);
        }
        BComPort1->SetBaudRate(rate);
    } catch (...) {
        if (running && BComPort1->Connected()) {
            cbBaudRate->SetItemIndex(lineRate_);
            TrackBar1->ShowPosition(lineRate_);
        }
        throw;
    }
    if (running) {
        lineRate_ = rate;
    }
}

void TMainForm::Button13Click() {
    Edit1->TypeChar(u'f');
    Edit4->TypeChar(u'|');
}

void TMainForm::Button14Click() {
    Edit1->TypeChar(u'\b');
    Edit4->TypeChar(u'\b');
}

void TMainForm::HandOverPattern() {
    std::string pattern = ToWindows1251(Edit1->text());
    std::lock_guard lock(patternMutex_);
    pattern_ = std::move(pattern);
}

std::string TMainForm::DutyPattern() const {
    std::lock_guard lock(patternMutex_);
    return pattern_;
}

// The port stays open for as long as Timer1's thread runs (it starts after Open and ends
// before Close), so Connected does not change under the tick; the pattern is Edit1's text as
// last handed over.
void TMainForm::Timer1Timer() {
    if (!BComPort1->Connected()) {
        return;
    }
    BComPort1->WriteStr(DutyPattern());
}

void TMainForm::Timer1Failed(std::exception_ptr error) {
    // A port that cannot be written any more ends the run as STOP does, so the operator gets
    // one error box and an idle window. The write error is the one reported, also when closing
    // the failed device fails as well.
    try {
        btnDisconnectClick();
    } catch (const EComPort&) {
    }
    std::rethrow_exception(error);
}

void TMainForm::Timer2Timer() {
    constexpr long double kStep = 0.1L;
    RemainingSeconds = static_cast<double>(static_cast<long double>(RemainingSeconds) - kStep);
    const auto tenths = static_cast<std::int64_t>(
        std::nearbyint(static_cast<long double>(RemainingSeconds) * 10.0L));
    const std::int64_t progress = std::int64_t{Gauge1->MaxValue()} - tenths;
    Gauge1->SetProgress(
        static_cast<std::int32_t>(std::clamp<std::int64_t>(progress, INT32_MIN, INT32_MAX)));
    if (RemainingSeconds > 0.0) {
        return;
    }
    Timer1->SetEnabled(false);
    BComPort1->Close();
    EnterIdle();
    Timer2->SetEnabled(true);
    Timer4->SetEnabled(false);
    Timer5->SetEnabled(false);
}

void TMainForm::Timer3Timer() {
    const ui::TFormatSettings& settings = ui::FormatSettings();
    Edit3->ChangeText(ui::FormatLongTime(QDateTime::currentDateTime().time(), settings));
    Edit2->ChangeText(ui::FormatShortDate(QDateTime::currentDateTime().date(), settings));
}

// Timer4's and Timer5's ticks come in batches, one per chart frame (CreateTimers): several
// samples and flips run back to back, each as at its own 10 ms instant, and the chart shows
// them together in one frame, as it would have shown them had each woken the window.
void TMainForm::Timer4Timer() {
    PulseLevel = PulseLevel + 10.0;
    if (PulseLevel > 11.0) {
        PulseLevel = 1.0;
    }
}

void TMainForm::Timer5Timer() {
    // Flip period after each sweep, indexed by the frequency index 0 … 4 ("30" … "600").
    static constexpr int kFlipIntervals[] = {500, 400, 300, 200, 100};
    SampleIndex = SampleIndex + 1;
    const long double x = static_cast<long double>(SampleIndex) * 0.1L;
    Series1->InsertPoint(static_cast<double>(x), PulseLevel, QString(), clLime);
    if (SampleIndex <= 200) {
        return;
    }
    Series1->ClearPoints();
    SampleIndex = -1;
    const int index = cbBaudRate->ItemIndex();
    if (index >= 0 && index <= 4) {
        Timer4->SetInterval(kFlipIntervals[index]);
    }
}

void TMainForm::SetUpToolTips() {
    // The line rate of a frequency index; 0 for none (no selection after a failed start-up).
    const auto rate = [](int index) -> unsigned {
        return index >= 0 && index < int(std::size(ComBaudRates)) ? ComBaudRates[index] : 0;
    };
    const auto decimal = [] { return ui::FormatSettings().DecimalSeparator; };
    ui::SetToolTipSource(cbBaudRate, [this, rate, decimal] {
        return FrequencyHint(rate(cbBaudRate->ItemIndex()), decimal());
    });
    ui::SetToolTipSource(TrackBar1, [this, rate, decimal] {
        return FrequencyHint(rate(TrackBar1->Position()), decimal());
    });
    // The pattern is what the writer sends: the text of the hidden field, not the bar.
    for (QWidget* control : {static_cast<QWidget*>(Edit4), static_cast<QWidget*>(Button13),
                             static_cast<QWidget*>(Button14)}) {
        ui::SetToolTipSource(control, [this, rate, decimal] {
            return DutyHint(rate(cbBaudRate->ItemIndex()), Edit1->text(), decimal());
        });
    }
    // START clamps the entry's text into its range as the entry loses the focus.
    ui::SetToolTipSource(
        SpinEdit2, [this] { return RunLengthHint(SpinEdit2->ClampValue(SpinEdit2->Value())); });
}

void TMainForm::SetUpPortWatch() {
    portWatch_ = new TPortWatch(this);
    portWatch_->OnChange = [this] { ui::RunHandler([this] { PortsChanged(); }); };
    portWatch_->Watch();
    cbPort->OnChange = [this] { operatorPort_ = cbPort->currentText(); };
    DescribePorts();
    ui::SetToolTipSource(cbPort,
                         [this] { return cbPort->currentData(Qt::ToolTipRole).toString(); });
}

void TMainForm::PortsChanged() {
    // The list is disabled during a run and shows the port in use: it waits for the run's end.
    if (BComPort1->Connected()) {
        portListStale_ = true;
    } else {
        RefreshPortList();
    }
}

void TMainForm::RefreshPortList() {
    portListStale_ = false;
    portWatch_->Watch();
    QStringList names;
    try {
        ListComPorts(names);
    } catch (const EComPort&) {
        // A source that cannot be read just now keeps the list; the next change reads it again.
        return;
    }
    if (names != cbPort->Items()) {
        const QString selected = cbPort->ItemIndex() >= 0 ? cbPort->currentText() : QString();
        int kept = operatorPort_.isEmpty() ? -1 : int(names.indexOf(operatorPort_));
        if (kept < 0 && !selected.isEmpty()) {
            kept = int(names.indexOf(selected));
        }
        cbPort->SetItems(names);
        cbPort->SetItemIndex(kept >= 0 ? kept : 0);
    }
    DescribePorts();
}

void TMainForm::DescribePorts() {
    for (int i = 0; i < cbPort->count(); ++i) {
        const QString name = cbPort->itemText(i);
        const QString hint =
            PortHint(name, ports::DescribePort(name.toStdString()), cbBaudRate->Items());
        cbPort->setItemData(i, ui::PlainToolTip(hint), Qt::ToolTipRole);
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    CentreOnScreen();
    // The first control in tab order takes the focus and selects its text.
    SpinEdit2->setFocus(Qt::TabFocusReason);
}

void TMainForm::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(std::max(0, area.x() + (area.width() - outer.width()) / 2),
         std::max(0, area.y() + (area.height() - outer.height()) / 2));
}

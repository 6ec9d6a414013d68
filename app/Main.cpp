#include "app/Main.h"

#include "app/PortHints.h"
#include "app/PortWatch.h"
#include "app/PreviewChart.h"
#include "app/PulseFigures.h"
#include "platform/base/Change.h"
#include "platform/ports/PortNames.h"
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
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace {

const QString kSansSerif = QStringLiteral("MS Sans Serif");
constexpr int kBigFontHeight = 32;

QFont Font(const QString& family, int pixelHeight) {
    QFont font(family);
    font.setPixelSize(pixelHeight);
    return font;
}

template <class Control> Control* Place(QWidget* parent, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setGeometry(left, top, width, height);
    return control;
}

QGroupBox* PlaceGroupBox(QWidget* parent, const QString& caption, int left, int top, int width,
                         int height) {
    auto* box = Place<QGroupBox>(parent, left, top, width, height);
    box->setTitle(caption);
    box->setFont(Font(kSansSerif, 11));
    QPalette palette = box->palette();
    palette.setColor(QPalette::WindowText, ColorToQColor(clWhite));
    box->setPalette(palette);
    return box;
}

// Black with a lime "MS Sans Serif" of the given height.
void MakeLime(QWidget* control, int fontHeight) {
    SetControlColors(control, clBlack, clLime);
    control->setFont(Font(kSansSerif, fontHeight));
}

ui::TButton* PlaceButton(QWidget* parent, const QString& caption, int fontHeight, int left, int top,
                         int width, int height) {
    auto* button = Place<ui::TButton>(parent, left, top, width, height);
    button->setText(caption);
    button->setFont(Font(kSansSerif, fontHeight));
    return button;
}

} // namespace

// The window's resources live in a static library and are registered explicitly.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

void SetControlColors(QWidget* control, TColor color, TColor fontColor) {
    QPalette palette = control->palette();
    const QColor background = ColorToQColor(color);
    const QColor text = ColorToQColor(fontColor);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::Button, background);
    }
    // Disabled controls keep the style's greyed text.
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::ButtonText, text);
    }
    if (palette != control->palette()) {
        control->setPalette(palette);
    }
    control->setAutoFillBackground(true);
}

TMainForm::TMainForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Контроллер управления форсунками Tavrix_v.5"));
    // Single fixed border: caption with system menu and minimise box, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    InitResources();
    const QIcon icon(QStringLiteral(":/tavrix.xpm"));
    setWindowIcon(icon);
    QGuiApplication::setWindowIcon(icon);
    setFont(Font(kSansSerif, 11));
    SetControlColors(this, clMoneyGreen, clWindowText);

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

void TMainForm::CreateControls() {
    Panel1 = Place<QWidget>(this, 0, 0, kClientWidth, 577);
    SetControlColors(Panel1, clActiveCaption, clWindowText);

    Label1 = Place<QLabel>(Panel1, 0, 528, 606, 13);
    Label1->setText(QStringLiteral("Tavrix_v.5, версия " TAVRIX_VERSION " — генератор импульсов "
                                   "для проверки и очистки топливных форсунок через COM-порт"));
    Label1->setFont(Font(kSansSerif, 11));
    SetControlColors(Label1, clActiveCaption, clWhite);
    Label1->setAutoFillBackground(false);

    GroupBox1 = PlaceGroupBox(Panel1, QStringLiteral(" Таймер, сек "), 8, 184, 137, 73);
    SpinEdit2 = Place<TSpinEdit>(GroupBox1, 8, 16, 121, 47);
    SpinEdit2->setFont(Font(kSansSerif, kBigFontHeight));
    SpinEdit2->SetColor(clBlack);
    SpinEdit2->SetFontColor(clLime);
    SpinEdit2->SetMaxValue(10000);
    SpinEdit2->SetMinValue(0);
    SpinEdit2->SetValue(100);

    GroupBox2 = PlaceGroupBox(Panel1, QStringLiteral(" Дата "), 152, 184, 193, 73);
    Edit2 = Place<ui::TEdit>(GroupBox2, 8, 16, 177, 45);
    Edit2->setText(QStringLiteral(" "));
    MakeLime(Edit2, kBigFontHeight);

    GroupBox3 = PlaceGroupBox(Panel1, QStringLiteral(" Время "), 352, 184, 153, 73);
    Edit3 = Place<ui::TEdit>(GroupBox3, 8, 16, 137, 45);
    Edit3->setText(QStringLiteral(" "));
    MakeLime(Edit3, kBigFontHeight);

    GroupBox4 = PlaceGroupBox(Panel1, QStringLiteral(" Частота, Гц "), 8, 8, 497, 81);
    Label2 = Place<QLabel>(GroupBox4, 8, 56, 345, 13);
    Label2->setText(
        QStringLiteral("30 Гц                 75 Гц                150 Гц                "
                       "300 Гц               600 Гц"));
    SetControlColors(Label2, clActiveCaption, clWhite);
    Label2->setAutoFillBackground(false);
    {
        // The substitute face is a little wider than the bitmap face the caption's runs of
        // spaces were measured in; tighter spaces keep "600 Гц" inside the label.
        QFont font = Label2->font();
        font.setWordSpacing(-1.0);
        Label2->setFont(font);
    }
    cbBaudRate = Place<ui::TComboBox>(GroupBox4, 368, 16, 113, 45);
    cbBaudRate->addItems({QStringLiteral("30"), QStringLiteral("75"), QStringLiteral("150"),
                          QStringLiteral("300"), QStringLiteral("600")});
    cbBaudRate->SetItemHeight(37);
    MakeLime(cbBaudRate, kBigFontHeight);
    cbBaudRate->SetItemIndex(-1);

    GroupBox5 = PlaceGroupBox(Panel1, QStringLiteral(" СОМ-порт "), 512, 8, 97, 81);
    cbPort = Place<ui::TComboBox>(GroupBox5, 8, 20, 81, 28);
    cbPort->SetItemHeight(20);
    MakeLime(cbPort, 16);

    GroupBox6 = PlaceGroupBox(Panel1, QStringLiteral(" Индикатор процесса "), 8, 264, 601, 81);
    Gauge1 = Place<TGauge>(GroupBox6, 8, 21, 585, 44);
    Gauge1->BeginLoading();
    Gauge1->SetBackColor(clBlack);
    Gauge1->SetForeColor(clRed);
    Gauge1->SetColor(clBtnFace);
    // The font's lime colour is stored too; the gauge's text colour does not depend on it.
    Gauge1->setFont(Font(kSansSerif, kBigFontHeight));
    Gauge1->SetProgress(0);
    Gauge1->EndLoading();

    GroupBox7 = PlaceGroupBox(Panel1, QString(), 512, 96, 97, 81);
    btnConnect = PlaceButton(GroupBox7, QStringLiteral("ПУСК"), 24, 8, 16, 81, 57);

    TrackBar1 = Place<ui::TTrackBar>(Panel1, 16, 32, 345, 33);
    TrackBar1->setRange(0, 4);
    TrackBar1->setPageStep(1);
    TrackBar1->setSingleStep(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(1);
    TrackBar1->SetPosition(3);

    GroupBox9 = PlaceGroupBox(Panel1, QStringLiteral(" Скважность "), 8, 96, 497, 81);
    Edit1 = Place<ui::TEdit>(GroupBox9, 8, 25, 177, 24);
    Edit1->setText(QStringLiteral("fffff"));
    Edit1->setEnabled(false);
    SetPatternColor(clBtnFace);
    Edit1->setFont(Font(QStringLiteral("Courier New"), 13));
    Edit4 = Place<ui::TEdit>(GroupBox9, 8, 21, 409, 45);
    Edit4->setText(QStringLiteral("|||||"));
    MakeLime(Edit4, kBigFontHeight);
    Button13 = PlaceButton(GroupBox9, QStringLiteral("+"), 19, 432, 16, 49, 25);
    Button14 = PlaceButton(GroupBox9, QStringLiteral("--"), 19, 432, 48, 49, 25);

    GroupBox8 = PlaceGroupBox(Panel1, QString(), 512, 184, 97, 73);
    btnDisconnect = PlaceButton(GroupBox8, QStringLiteral("СТОП"), 24, 8, 16, 81, 49);
    btnDisconnect->setEnabled(false);

    Chart1 = new TChart(Panel1);
    Series1 = &ConfigurePreviewChart(*Chart1);

    for (ui::TButton* button : {btnConnect, btnDisconnect, Button13, Button14}) {
        SetControlColors(button, clBtnFace, clWindowText);
    }

    const QList<QWidget*> order = TabOrder();
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void TMainForm::CreatePort() {
    BComPort1 = new TBComPort(this);
    BComPort1->SetBaudRate(br9600);
    BComPort1->SetByteSize(bs8);
    BComPort1->SetInBufSize(256);
    BComPort1->SetOutBufSize(256);
    BComPort1->SetParity(paEven);
    BComPort1->SetPort(QStringLiteral("COM2"));
    BComPort1->SetSyncMethod(smThreadSync);
    BComPort1->SetStopBits(sb2);
    TComTimeouts& timeouts = BComPort1->Timeouts();
    timeouts.SetReadInterval(-1);
    timeouts.SetReadTotalMultiplier(0);
    timeouts.SetReadTotalConstant(0);
    timeouts.SetWriteTotalMultiplier(100);
    timeouts.SetWriteTotalConstant(1000);
}

void TMainForm::WireHandlers() {
    btnConnect->OnClick = [this] { btnConnectClick(); };
    btnDisconnect->OnClick = [this] { btnDisconnectClick(); };
    cbBaudRate->OnChange = [this] { cbBaudRateChange(); };
    TrackBar1->OnChange = [this] { TrackBar1Change(); };
    Button13->OnClick = [this] { Button13Click(); };
    Button14->OnClick = [this] { Button14Click(); };
    connect(Edit1, &QLineEdit::textChanged, this, [this] { HandOverPattern(); });
    HandOverPattern();
}

void TMainForm::CreateTimers() {
    const auto makeTimer = [this](int interval, bool enabled, void (TMainForm::*handler)()) {
        auto* timer = new ui::TTimer(this);
        timer->SetEnabled(false);
        timer->SetInterval(interval);
        timer->OnTimer = [this, handler] { (this->*handler)(); };
        timer->SetEnabled(enabled);
        return timer;
    };
    // The writer's tick blocks until the line has taken the pattern (545 ms for "fffff" at
    // 110 bit/s), so it runs on a thread of its own: the window never waits for the line and
    // the ticks never wait behind painting. The thread runs from START to the end of the run.
    Timer1 = new ui::TThreadTimer(this);
    Timer1->SetInterval(100);
    Timer1->SetPriority(ui::tpTimeCritical);
    Timer1->OnTimer = [this] { Timer1Timer(); };
    Timer1->OnAbort = [this] { BComPort1->AbortTransfers(); };
    Timer1->OnError = [this](std::exception_ptr error) { Timer1Failed(error); };
    Timer2 = makeTimer(100, true, &TMainForm::Timer2Timer);
    Timer3 = makeTimer(1000, true, &TMainForm::Timer3Timer);
    Timer4 = makeTimer(10, false, &TMainForm::Timer4Timer);
    Timer5 = makeTimer(1, false, &TMainForm::Timer5Timer);
    // The countdown and the clock may each move a tick by up to 5 % of their periods, so that
    // they wake the window together (and with the caret's blink) rather than one by one; their
    // periods stay 100 ms and 1 s. The flip timer stays precise: it starts with the sample timer
    // and restarts inside a sample tick, so its ticks fall just behind sample ticks and are often
    // served in the same wake-up; the toolkit's alignment grid would part them.
    for (ui::TTimer* timer : {Timer2, Timer3}) {
        timer->SetAligned(true);
    }
}

QList<QWidget*> TMainForm::TabOrder() const {
    return {SpinEdit2, Edit2, Edit3, cbBaudRate, cbPort,   btnConnect,
            TrackBar1, Edit1, Edit4, Button13,   Button14, btnDisconnect};
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
    BComPort1->SetPort(cbPort->currentText());
    BComPort1->SetBaudRate(static_cast<TBaudRate>(cbBaudRate->ItemIndex()));
    if (!BComPort1->Open()) {
        return;
    }
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
    BComPort1->SetBaudRate(static_cast<TBaudRate>(cbBaudRate->ItemIndex()));
    TrackBar1->SetPosition(cbBaudRate->ItemIndex());
}

void TMainForm::TrackBar1Change() {
    BComPort1->SetBaudRate(static_cast<TBaudRate>(cbBaudRate->ItemIndex()));
    cbBaudRate->SetItemIndex(TrackBar1->Position());
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
        const int kept = selected.isEmpty() ? -1 : int(names.indexOf(selected));
        cbPort->SetItems(names);
        cbPort->SetItemIndex(kept >= 0 ? kept : 0);
    }
    DescribePorts();
}

void TMainForm::DescribePorts() {
    for (int i = 0; i < cbPort->count(); ++i) {
        const QString name = cbPort->itemText(i);
        const QString hint = PortHint(name, ports::DescribePort(name.toStdString()));
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

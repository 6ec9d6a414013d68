// TMainForm: the window's controls, their geometry and colours, the port component's settings,
// the timers and the handlers wired to them.
#include "app/Main.h"

#include "app/PreviewChart.h"
#include "platform/ui/TButton.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/TEdit.h"
#include "platform/ui/TThreadTimer.h"
#include "platform/ui/TTimer.h"
#include "platform/ui/TTimerBatch.h"
#include "platform/ui/TTrackBar.h"
#include "serial/BCPort.h"
#include "widgets/Chart.h"
#include "widgets/ChartSeries.h"
#include "widgets/Gauges.h"
#include "widgets/Spin.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <cmath>

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

void TMainForm::CreateControls() {
    InitResources();
    const QIcon icon(QStringLiteral(":/tavrix.xpm"));
    setWindowIcon(icon);
    QGuiApplication::setWindowIcon(icon);
    setFont(Font(kSansSerif, 11));
    SetControlColors(this, clMoneyGreen, clWindowText);

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
    // The preview's flip and sample ticks (10 ms apart at the least) are delivered once per
    // chart frame, each at its own instant: the chart shows data changes at most once a frame,
    // so waking the window for every sample changed nothing on screen. The trace is the one
    // exact timers would draw, whatever the timing of the frames.
    previewFrames_ = new ui::TTimerBatch(TChart::kFramePeriod, this);
    previewFrames_->Add(*Timer4);
    previewFrames_->Add(*Timer5);
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

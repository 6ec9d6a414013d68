// The port list follows the machine's ports while the window is idle, and each item names its
// device. The port trees are the test's own: a tty class directory and a device directory.
#include "tests/app/WindowFixture.h"
#include "tests/support/SerialFixtures.h"
#include "tests/support/SerialPty.h"
#include "tests/support/SysfsTree.h"

#include "app/PortHints.h"
#include "platform/ports/PortNames.h"
#include "platform/ports/PortWatch.h"
#include "platform/ui/TComboBox.h"
#include "platform/ui/ToolTip.h"
#include "widgets/Spin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <filesystem>

using testsupport::ErrorBoxes;
using testsupport::SerialPty;
using testsupport::WaitUntil;

namespace {

class PortList : public testsupport::WindowTest {
protected:
    QStringList Items() const { return form_->cbPort->Items(); }
    QString Selected() const { return form_->cbPort->currentText(); }
    // A pseudo-terminal linked in the window's device directory; the link goes with it.
    std::unique_ptr<SerialPty> Plug(const std::string& name) {
        return std::make_unique<SerialPty>(name, pty_->Directory());
    }
    // Waits up to the promised second for the list to show the names.
    bool ListBecomes(const QStringList& names) {
        return WaitUntil([&] { return Items() == names; }, std::chrono::milliseconds(1000));
    }
    // Long enough for a change to have been applied, had it been.
    static void Settle() { Pump(TPortWatch::kSettleMs * 3); }
};

TEST_F(PortList, PortAddedAndRemovedWhileIdleUpdateTheListAndKeepTheSelection) {
    ASSERT_EQ(Items(), QStringList{"ttyV0"});
    QElapsedTimer took;
    took.start();
    auto v9 = Plug("ttyV9");
    ASSERT_TRUE(ListBecomes({"ttyV0", "ttyV9"}));
    EXPECT_LT(took.elapsed(), 1000);
    EXPECT_EQ(Selected(), "ttyV0");

    form_->cbPort->SetItemIndex(1);
    auto a1 = Plug("ttyA1");
    ASSERT_TRUE(ListBecomes({"ttyA1", "ttyV0", "ttyV9"}));
    EXPECT_EQ(Selected(), "ttyV9");
    a1.reset();
    ASSERT_TRUE(ListBecomes({"ttyV0", "ttyV9"}));
    EXPECT_EQ(Selected(), "ttyV9");
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty());
}

TEST_F(PortList, SelectedPortRemovedFallsBackToTheFirstItem) {
    auto v9 = Plug("ttyV9");
    ASSERT_TRUE(ListBecomes({"ttyV0", "ttyV9"}));
    form_->cbPort->SetItemIndex(1);
    v9.reset();
    ASSERT_TRUE(ListBecomes({"ttyV0"}));
    EXPECT_EQ(form_->cbPort->ItemIndex(), 0);

    // The last port gone leaves an empty list with nothing selected; a new one is item 0.
    std::filesystem::remove(pty_->LinkPath());
    ASSERT_TRUE(ListBecomes({}));
    EXPECT_EQ(form_->cbPort->ItemIndex(), -1);
    auto v5 = Plug("ttyV5");
    ASSERT_TRUE(ListBecomes({"ttyV5"}));
    EXPECT_EQ(form_->cbPort->ItemIndex(), 0);
}

TEST_F(PortList, OperatorsPortIsSelectedAgainWhenItComesBack) {
    // A USB adapter as sysfs shows it; the operator picks it with the keyboard. Pulled out, the
    // list falls back to the first port; plugged in again, it is selected again.
    testsupport::SysfsTree sysfs(ttyClass_.Path());
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "FTDI", "FT232R USB UART", "A50285BI", 0x600);
    ASSERT_TRUE(ListBecomes({"ttyUSB0", "ttyV0"}));
    form_->cbPort->SetItemIndex(1);
    QTest::keyClick(form_->cbPort, Qt::Key_Up);
    ASSERT_EQ(Selected(), "ttyUSB0");
    std::filesystem::remove(ttyClass_.Path() + "/ttyUSB0");
    ASSERT_TRUE(ListBecomes({"ttyV0"}));
    EXPECT_EQ(Selected(), "ttyV0");
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "FTDI", "FT232R USB UART", "A50285BI", 0x600);
    ASSERT_TRUE(ListBecomes({"ttyUSB0", "ttyV0"}));
    EXPECT_EQ(Selected(), "ttyUSB0");
    std::filesystem::remove(ttyClass_.Path() + "/ttyUSB0");
    ASSERT_TRUE(ListBecomes({"ttyV0"}));

    // The port of the last run counts as the operator's too: a run on ttyV0 while the adapter
    // is away keeps ttyV0 selected when it comes back.
    Start();
    ASSERT_TRUE(Running());
    Stop();
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "FTDI", "FT232R USB UART", "A50285BI", 0x600);
    ASSERT_TRUE(ListBecomes({"ttyUSB0", "ttyV0"}));
    EXPECT_EQ(Selected(), "ttyV0");

    // A port the operator chose while the adapter was away is not taken from them.
    auto v1 = Plug("ttyV1");
    ASSERT_TRUE(ListBecomes({"ttyUSB0", "ttyV0", "ttyV1"}));
    QTest::keyClick(form_->cbPort, Qt::Key_Up);
    ASSERT_EQ(Selected(), "ttyUSB0");
    std::filesystem::remove(ttyClass_.Path() + "/ttyUSB0");
    ASSERT_TRUE(ListBecomes({"ttyV0", "ttyV1"}));
    QTest::keyClick(form_->cbPort, Qt::Key_Down);
    ASSERT_EQ(Selected(), "ttyV1");
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "FTDI", "FT232R USB UART", "A50285BI", 0x600);
    ASSERT_TRUE(ListBecomes({"ttyUSB0", "ttyV0", "ttyV1"}));
    EXPECT_EQ(Selected(), "ttyV1");
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty());
}

TEST_F(PortList, ChangeDuringARunIsHeldUntilIdle) {
    Start();
    ASSERT_TRUE(Running());
    auto v9 = Plug("ttyV9");
    Settle();
    EXPECT_EQ(Items(), QStringList{"ttyV0"});
    EXPECT_EQ(Selected(), "ttyV0");
    Stop();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Items(), (QStringList{"ttyV0", "ttyV9"})); // applied as the window goes idle
    EXPECT_EQ(Selected(), "ttyV0");

    // A run that ends by itself applies it too.
    form_->SpinEdit2->SetValue(0);
    Start();
    ASSERT_TRUE(Running());
    v9.reset();
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
    ASSERT_TRUE(ListBecomes({"ttyV0"}));
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty());
}

TEST_F(PortList, UnreadableSourceDuringARefreshKeepsTheListSilently) {
    auto v9 = Plug("ttyV9");
    ASSERT_TRUE(ListBecomes({"ttyV0", "ttyV9"}));
    form_->cbPort->SetItemIndex(1);
    // The tty class directory goes: every refresh now fails to read the ports.
    std::filesystem::remove_all(ttyClass_.Path());
    auto v7 = Plug("ttyV7");
    Settle();
    EXPECT_EQ(Items(), (QStringList{"ttyV0", "ttyV9"}));
    EXPECT_EQ(Selected(), "ttyV9");
    EXPECT_TRUE(ErrorBoxes::Texts().isEmpty());
    // Back again, it is watched and read as before.
    std::filesystem::create_directory(ttyClass_.Path());
    ASSERT_TRUE(ListBecomes({"ttyV0", "ttyV7", "ttyV9"}));
    EXPECT_EQ(Selected(), "ttyV9");
}

TEST_F(PortList, OtherChangesOfTheDirectoriesLeaveTheListAlone) {
    form_->cbPort->SetItemIndex(-1);
    std::filesystem::create_symlink("/dev/null", pty_->Directory() + "/ttyNull");
    std::filesystem::create_directory(ttyClass_.Path() + "/tty9"); // no device behind it
    Settle();
    EXPECT_EQ(Items(), QStringList{"ttyV0"});
    EXPECT_EQ(form_->cbPort->ItemIndex(), -1); // not even the selection was touched
}

TEST(PortWatchTest, BurstOfChangesIsReportedOnceAndQuietRootsNever) {
    testsupport::SerialPortTree tree;
    TPortWatch watch;
    int reports = 0;
    watch.OnChange = [&] { ++reports; };
    watch.Watch();
    QTest::qWait(TPortWatch::kSettleMs * 2);
    EXPECT_EQ(reports, 0);
    // An adapter's node, its links and their permissions come within milliseconds.
    for (int i = 0; i < 20; ++i) {
        std::filesystem::create_symlink("/dev/null", tree.DevRoot() + "/ttyX" + std::to_string(i));
    }
    for (int i = 0; i < 5; ++i) {
        std::filesystem::create_directory(tree.TtyClassRoot() + "/tty" + std::to_string(i));
    }
    ASSERT_TRUE(WaitUntil([&] { return reports > 0; }, std::chrono::milliseconds(1000)));
    QTest::qWait(TPortWatch::kSettleMs * 2);
    EXPECT_EQ(reports, 1);
}

// The tooltip a control shows when the mouse rests on it.
QString ToolTipOf(QWidget* control) {
    QToolTip::hideText();
    const QPoint at = control->rect().center();
    QHelpEvent event(QEvent::ToolTip, at, control->mapToGlobal(at));
    QApplication::sendEvent(control, &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(PortList, ItemsNameTheirDevicesAndTheListShowsTheSelectedOnesName) {
    testsupport::SysfsTree sysfs(ttyClass_.Path());
    sysfs.UsbSerial("ttyUSB0", "ftdi_sio", "FTDI", "FT232R USB UART", "A50285BI", 0x600);
    sysfs.Uart8250("ttyS4", "4");
    ASSERT_TRUE(ListBecomes({"ttyS4", "ttyUSB0", "ttyV0"}));
    const ui::TComboBox& box = *form_->cbPort;
    const QString hints[] = {
        QStringLiteral("ttyS4 — встроенный порт, драйвер serial8250, UART 16550A"),
        QStringLiteral("ttyUSB0 — FTDI FT232R USB UART, s/n A50285BI, драйвер ftdi_sio\n"
                       "30 Гц недоступна: наименьшая скорость адаптера 184 бит/с"),
        QStringLiteral("ttyV0 — виртуальный порт → ") + QString::fromStdString(pty_->SlavePath()),
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(box.itemData(i, Qt::ToolTipRole).toString(), hints[i]);
    }
    EXPECT_EQ(Selected(), "ttyV0");
    EXPECT_EQ(ToolTipOf(form_->cbPort), hints[2]);
    form_->cbPort->SetItemIndex(1);
    EXPECT_EQ(ToolTipOf(form_->cbPort), hints[1]);
}

TEST(PortHintTest, MissingStringsAndUnknownPorts) {
    ports::PortDescription usb;
    usb.kind = ports::PortDescription::Usb;
    usb.driver = "ch341";
    EXPECT_EQ(PortHint("ttyUSB2", usb), QStringLiteral("ttyUSB2 — USB-адаптер, драйвер ch341"));
    usb.product = "USB Serial";
    usb.serial = "12";
    EXPECT_EQ(PortHint("ttyUSB2", usb),
              QStringLiteral("ttyUSB2 — USB Serial, s/n 12, драйвер ch341"));

    ports::PortDescription other;
    EXPECT_EQ(PortHint("ttyX", other), QStringLiteral("ttyX"));
    other.driver = "uart-pl011";
    EXPECT_EQ(PortHint("ttyAMA0", other), QStringLiteral("ttyAMA0 — драйвер uart-pl011"));

    ports::PortDescription pty;
    pty.kind = ports::PortDescription::PseudoTerminal;
    EXPECT_EQ(PortHint("ttyV1", pty), QStringLiteral("ttyV1 — виртуальный порт"));

    // Windows' Bluetooth ports and ports of virtual port drivers (or Wine's, with no driver).
    ports::PortDescription bluetooth;
    bluetooth.kind = ports::PortDescription::Bluetooth;
    bluetooth.driver = "BTHMODEM";
    EXPECT_EQ(PortHint("COM5", bluetooth),
              QStringLiteral("COM5 — порт Bluetooth, драйвер BTHMODEM"));
    ports::PortDescription virtualPort;
    virtualPort.kind = ports::PortDescription::Virtual;
    EXPECT_EQ(PortHint("COM9", virtualPort), QStringLiteral("COM9 — виртуальный порт"));
}

TEST(PortHintTest, AdaptersNameWhatTheyCannotMake) {
    const QStringList frequencies{"30", "75", "150", "300", "600"};
    const struct {
        int vendor, product, interface;
        const char* line; // the hint's second line; empty for none
    } cases[] = {
        {0x10C4, 0xEA60, 0, "30 Гц недоступна: наименьшая скорость адаптера 300 бит/с"},
        {0x10C4, 0xEA70, 1,
         "30, 75, 150, 300 Гц недоступны: наименьшая скорость адаптера 2400 бит/с"},
        {0x04D8, 0x00DF, 0,
         "Ни одна частота недоступна: адаптер MCP2200 не передаёт 8 бит с чётностью и 2 "
         "стоп-битами"},
        {0x067B, 0x2303, 0, ""},
    };
    for (const auto& c : cases) {
        ports::PortDescription usb;
        usb.kind = ports::PortDescription::Usb;
        usb.usbVendor = c.vendor;
        usb.usbProduct = c.product;
        usb.usbInterface = c.interface;
        const QString line = QString::fromUtf8(c.line);
        const QString name = QStringLiteral("ttyUSB0 — USB-адаптер");
        EXPECT_EQ(PortHint("ttyUSB0", usb, frequencies),
                  line.isEmpty() ? name : name + u'\n' + line);
        EXPECT_EQ(PortHint("ttyUSB0", usb), name); // no frequency list, no line
    }
}

TEST(PortHintTest, DeviceStringsThatLookLikeMarkupAreShownAsTheyAre) {
    ports::PortDescription usb;
    usb.kind = ports::PortDescription::Usb;
    usb.manufacturer = "<b>ACME</b>";
    const QString hint = PortHint("ttyUSB0", usb);
    EXPECT_EQ(hint, QStringLiteral("ttyUSB0 — <b>ACME</b>"));
    const QString shown = ui::PlainToolTip(hint);
    EXPECT_TRUE(shown.contains(QStringLiteral("&lt;b&gt;ACME&lt;/b&gt;")));
    EXPECT_EQ(ui::PlainToolTip(QStringLiteral("ttyS0 — встроенный порт")),
              QStringLiteral("ttyS0 — встроенный порт"));
}

} // namespace

// The captions as the window system sees them: the program's start-up and main window on a
// real X server (the test runs under xvfb-run), the window's X properties read with xprop.
#include "app/Main.h"
#include "app/Startup.h"

#include "platform/ports/PortNames.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

namespace {

const QString kMainCaption = QStringLiteral("Контроллер управления форсунками Tavrix_v.5");

// Text properties of an X window as xprop prints them: name → value, for the properties
// asked for that the window has.
std::map<QString, QString> XTextProperties(WId window, const QStringList& names) {
    QProcess xprop;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    xprop.setProcessEnvironment(environment);
    xprop.start(QStringLiteral("xprop"),
                QStringList{QStringLiteral("-id"), QString::number(window)} + names);
    if (!xprop.waitForFinished(10000) || xprop.exitCode() != 0) {
        ADD_FAILURE() << "xprop failed: " << xprop.readAllStandardError().toStdString();
        return {};
    }
    // e.g.  _NET_WM_NAME(UTF8_STRING) = "Генератор сигналов"
    static const QRegularExpression line(QStringLiteral(R"(^(\w+)\([^)]*\) = \"(.*)\"$)"));
    std::map<QString, QString> properties;
    const QStringList lines = QString::fromUtf8(xprop.readAllStandardOutput()).split(u'\n');
    for (const QString& text : lines) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch()) {
            properties[match.captured(1)] = match.captured(2);
        }
    }
    return properties;
}

void ExpectWindowName(WId window, const QString& expected) {
    const auto properties =
        XTextProperties(window, {QStringLiteral("WM_NAME"), QStringLiteral("_NET_WM_NAME")});
    for (const char* name : {"WM_NAME", "_NET_WM_NAME"}) {
        const auto found = properties.find(QString::fromLatin1(name));
        ASSERT_NE(found, properties.end()) << name << " is not set";
        EXPECT_TRUE(found->second == expected)
            << name << " is \"" << found->second.toStdString() << "\"";
    }
}

// The port list comes from trees of the test's own: no port of the machine is listed.
class WindowCaption : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports_.isValid());
        ASSERT_TRUE(QDir(ports_.path()).mkpath(QStringLiteral("tty")));
        ASSERT_TRUE(QDir(ports_.path()).mkpath(QStringLiteral("dev")));
        previousTtyClass_ = ports::TtyClassRoot();
        previousDev_ = ports::DevRoot();
        ports::SetTtyClassRoot(ports_.filePath(QStringLiteral("tty")).toStdString());
        ports::SetDevRoot(ports_.filePath(QStringLiteral("dev")).toStdString());
    }
    void TearDown() override {
        ports::SetTtyClassRoot(previousTtyClass_);
        ports::SetDevRoot(previousDev_);
    }

private:
    QTemporaryDir ports_;
    std::string previousTtyClass_;
    std::string previousDev_;
};

TEST_F(WindowCaption, MainWindowIsCaptionedExactly) {
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ExpectWindowName(form.winId(), kMainCaption);
}

TEST_F(WindowCaption, ErrorBoxIsCaptionedWithTheApplicationTitle) {
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // The real modal box: read its window once it is on the screen, then close it.
    bool checked = false;
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->windowHandle() && box->windowHandle()->isExposed()) {
            ExpectWindowName(box->winId(), QStringLiteral("Генератор сигналов"));
            EXPECT_EQ(box->text().toStdString(), "Ошибка функции SetCommState.");
            checked = true;
            box->accept();
        } else if (waited.elapsed() > 10000 && box) {
            box->reject();
        }
    });
    poll.start(20);
    ui::ShowErrorBox(QStringLiteral("Ошибка функции SetCommState"));
    EXPECT_TRUE(checked) << "the error box did not appear";
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    TProgramStartup startup(argc, argv, ui::TPlatform::X11);
    return RUN_ALL_TESTS();
}

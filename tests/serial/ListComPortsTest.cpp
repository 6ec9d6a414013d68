// The port list as the component gives it: sorted, duplicates kept, replaced only on success.
#include "platform/ports/PortNames.h"
#include "serial/BCPort.h"
#include "tests/support/SerialFixtures.h"
#include "tests/support/SerialPty.h"

using namespace testsupport;

namespace {

class ListComPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tty_ = dir_.MakeDir("class/tty");
        dev_ = dir_.MakeDir("dev");
        ports::SetTtyClassRoot(tty_);
        ports::SetDevRoot(dev_);
    }
    void TearDown() override {
        ports::SetTtyClassRoot("/sys/class/tty");
        ports::SetDevRoot("/dev");
    }
    void Tty(const std::string& name) {
        dir_.MakeDir("class/tty/" + name);
        dir_.Link("class/tty/" + name + "/device", "../../devices/" + name);
    }

    TempDir dir_;
    std::string tty_, dev_;
};

TEST_F(ListComPortsTest, SortedCaseInsensitivelyAndNotNumerically) {
    for (const char* name : {"ttyS2", "ttyS10", "ttyUSB0", "ttyS1", "TTYX", "ttyacm0"}) {
        Tty(name);
    }
    QStringList list{"stale"};
    ListComPorts(list);
    EXPECT_EQ(list, (QStringList{"ttyacm0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB0", "TTYX"}));
}

TEST_F(ListComPortsTest, DuplicateNamesAreKept) {
    // The same name from both sources: a tty class entry and a /dev link to a pty.
    Tty("ttyV0");
    SerialPty pty("unused");
    dir_.Link("dev/ttyV0", pty.SlavePath());
    QStringList list;
    ListComPorts(list);
    EXPECT_EQ(list, (QStringList{"ttyV0", "ttyV0"}));
}

TEST_F(ListComPortsTest, EmptySourceEmptiesTheList) {
    QStringList list{"ttyS0", "ttyS1"};
    ListComPorts(list);
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(ListComPortsTest, UnreadableSourceRaisesAndLeavesTheListAlone) {
    Tty("ttyS0");
    ports::SetTtyClassRoot(dir_.Path() + "/no-such-dir");
    QStringList list{"keep", "me"};
    EXPECT_COM_ERROR(ListComPorts(list), ComMessage::RegistryError);
    EXPECT_EQ(list, (QStringList{"keep", "me"}));
}

} // namespace

namespace {

// The main window's path: list the ports of a built tree, pick one, open it, write.
TEST(SerialPortTreeTest, ListedPtyOpensUnderItsName) {
    SerialPortTree tree;
    tree.AddTty("ttyS1");
    tree.AddTty("ttyS0", false);
    SerialPty& pty = tree.AddPty("ttyV0");
    QStringList list;
    ListComPorts(list);
    ASSERT_EQ(list, (QStringList{"ttyS1", "ttyV0"}));
    TBComPort port;
    port.SetPort(list[1]);
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.WriteStr("ff"), 2);
    EXPECT_EQ(pty.Read(2), "ff");
}

} // namespace

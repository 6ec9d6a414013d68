// The Linux port-name source over built directory trees.
#include "platform/ports/PortNames.h"
#include "tests/support/SerialPty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::SerialPty;
using testsupport::TempDir;

namespace {

// A sysfs-like tty class tree: entries with or without a device link, with a type file.
struct Tree {
    TempDir dir;
    std::string tty = dir.MakeDir("class/tty");
    std::string dev = dir.MakeDir("dev");

    void Tty(const std::string& name, bool device, const char* type = nullptr) {
        dir.MakeDir("class/tty/" + name);
        if (device)
            dir.Link("class/tty/" + name + "/device", "../../devices/" + name);
        if (type != nullptr)
            dir.WriteFile("class/tty/" + name + "/type", type);
    }
};

TEST(PortNamesTest, TtyEntriesWithADeviceExceptUartlessOnes) {
    Tree tree;
    tree.Tty("ttyS1", true, "4\n");
    tree.Tty("ttyS0", true, "0\n"); // 8250 port with no UART behind it
    tree.Tty("ttyUSB0", true);
    tree.Tty("tty5", false); // a virtual console: no device
    tree.Tty("ttyS2", true, "0");
    tree.Tty("ttyACM0", true);
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    EXPECT_THAT(names, ElementsAre("ttyACM0", "ttyS1", "ttyUSB0"));
}

TEST(PortNamesTest, DevLinksToPseudoTerminalsAreListed) {
    Tree tree;
    SerialPty a("unused-a"), b("unused-b");
    tree.dir.Link("dev/ttyV1", b.SlavePath());
    tree.dir.Link("dev/ttyV0", a.SlavePath());
    tree.dir.Link("dev/modem", a.SlavePath());            // not a tty* name
    tree.dir.Link("dev/ttyNull", "/dev/null");            // not a pseudo-terminal
    tree.dir.Link("dev/ttyDangling", "/nonexistent/pts"); // broken link
    tree.dir.WriteFile("dev/ttyFile", "");                // not a link
    std::vector<std::string> names;
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    EXPECT_THAT(names, ElementsAre("ttyV0", "ttyV1"));
}

TEST(PortNamesTest, EmptyAndUnreadableSources) {
    Tree tree;
    std::vector<std::string> names{"old"};
    ASSERT_TRUE(ports::ReadPortNames(tree.tty, tree.dev, names));
    EXPECT_THAT(names, IsEmpty());

    names = {"old"};
    EXPECT_FALSE(ports::ReadPortNames(tree.dir.Path() + "/missing", tree.dev, names));
    EXPECT_FALSE(ports::ReadPortNames(tree.tty, tree.dir.Path() + "/missing", names));
    EXPECT_THAT(names, ElementsAre("old"));
}

TEST(PortNamesTest, ProcessWideRootsAreSettable) {
    Tree tree;
    tree.Tty("ttyUSB3", true);
    const std::string tty = ports::TtyClassRoot(), dev = ports::DevRoot();
    EXPECT_EQ(tty, "/sys/class/tty");
    EXPECT_EQ(dev, "/dev");
    ports::SetTtyClassRoot(tree.tty);
    ports::SetDevRoot(tree.dev);
    std::vector<std::string> names;
    EXPECT_TRUE(ports::ReadPortNames(names));
    EXPECT_THAT(names, ElementsAre("ttyUSB3"));
    ports::SetTtyClassRoot(tty);
    ports::SetDevRoot(dev);
}

} // namespace

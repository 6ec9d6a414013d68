#include "tests/support/SerialPty.h"

#include "platform/comm/Comm.h"
#include "platform/comm/PosixTermios2.h"
#include "platform/ports/PortNames.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <unistd.h>

namespace testsupport {

SerialPty::SerialPty(const std::string& name, const std::string& directory)
    : name_(name), directory_(directory.empty() ? dir_.Path() : directory),
      ownDirectory_(directory.empty()) {
    char slaveName[256] = {};
    if (openpty(&master_, &slave_, slaveName, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = slaveName;
    std::filesystem::create_symlink(slavePath_, LinkPath());
    if (ownDirectory_) {
        previousDirectory_ = comm::DeviceDirectory();
        comm::SetDeviceDirectory(directory_);
    }
}

SerialPty::~SerialPty() {
    if (ownDirectory_) {
        comm::SetDeviceDirectory(previousDirectory_);
    } else {
        std::filesystem::remove(LinkPath());
    }
    CloseMaster();
    if (slave_ >= 0) {
        close(slave_);
    }
}

termios SerialPty::MasterSettings() const {
    termios settings{};
    tcgetattr(master_, &settings);
    return settings;
}

unsigned SerialPty::Rate() const {
    unsigned rate = 0;
    comm::termios2::GetRate(slave_, rate);
    return rate;
}

std::string SerialPty::Read(std::size_t count, std::chrono::milliseconds timeout) {
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (data.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, int(left.count())) <= 0) {
            continue;
        }
        char buffer[256];
        ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - data.size()));
        if (n > 0) {
            data.append(buffer, std::size_t(n));
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    return data;
}

std::string SerialPty::ReadAll(std::chrono::milliseconds quiet) {
    std::string data;
    for (;;) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, int(quiet.count())) <= 0) {
            return data;
        }
        char buffer[256];
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            return data;
        }
        data.append(buffer, std::size_t(n));
    }
}

void SerialPty::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("write to the pty master failed");
        }
    }
}

void SerialPty::CloseMaster() {
    if (master_ >= 0) {
        close(master_);
    }
    master_ = -1;
}

SerialPortTree::SerialPortTree()
    : previousTty_(ports::TtyClassRoot()), previousDev_(ports::DevRoot()),
      previousDevices_(comm::DeviceDirectory()) {
    dir_.MakeDir("class/tty");
    dir_.MakeDir("dev");
    ports::SetTtyClassRoot(TtyClassRoot());
    ports::SetDevRoot(DevRoot());
    comm::SetDeviceDirectory(DevRoot());
}

SerialPortTree::~SerialPortTree() {
    ptys_.clear();
    ports::SetTtyClassRoot(previousTty_);
    ports::SetDevRoot(previousDev_);
    comm::SetDeviceDirectory(previousDevices_);
}

void SerialPortTree::AddTty(const std::string& name, bool uart) {
    dir_.MakeDir("class/tty/" + name);
    dir_.Link("class/tty/" + name + "/device", "../../../devices/" + name);
    dir_.WriteFile("class/tty/" + name + "/type", uart ? "4\n" : "0\n");
}

SerialPty& SerialPortTree::AddPty(const std::string& name) {
    ptys_.push_back(std::make_unique<SerialPty>(name, DevRoot()));
    return *ptys_.back();
}

} // namespace testsupport

#pragma once

// Shared pieces of the serial tests: a device directory of the test's own, a simulated line
// plugged in under a name, checks for the component's messages, and the tests' view of the
// port's handle and event thread.

#include "platform/comm/Comm.h"
#include "platform/comm/SimulatedLine.h"
#include "serial/BCPort.h"
#include "serial/ComThread.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

// What the tests look at beyond the component's public surface.
struct TBComPortTestAccess {
    static comm::HANDLE Handle(const TBComPort& port) { return port.Handle(); }
    static TComThread* EventThread(const TBComPort& port) { return port.EventThread(); }
    static void NotifyWindowProc(TBComPort& port, ui::TMessage& message) {
        port.NotifyWindowProc(message);
    }
};

namespace testsupport {

inline comm::HANDLE PortHandle(const TBComPort& port) {
    return TBComPortTestAccess::Handle(port);
}
inline TComThread* EventThread(const TBComPort& port) {
    return TBComPortTestAccess::EventThread(port);
}

// The statement raises EComPort with the text of the ComMessage given.
#define EXPECT_COM_ERROR(statement, message)                                                       \
    EXPECT_THAT([&] { statement; },                                                                \
                ::testing::ThrowsMessage<EComPort>(::testing::StrEq(ComMessageText(message))))

// A device directory of the test's own (empty), and a simulated line plugged in as "SIM0".
class SimulatedLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = comm::DeviceDirectory();
        comm::SetDeviceDirectory(devices_.Path());
        line_ = comm::SimulatedLine::Plug("SIM0");
        port_ = std::make_unique<TBComPort>();
        port_->SetPort("SIM0");
    }
    void TearDown() override {
        port_.reset();
        line_.reset();
        comm::SetDeviceDirectory(previous_);
    }

    TempDir devices_;
    std::string previous_;
    std::shared_ptr<comm::SimulatedLine> line_;
    std::unique_ptr<TBComPort> port_;
};

} // namespace testsupport

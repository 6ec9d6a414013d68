#pragma once

// Shared pieces of the serial tests: a device directory of the test's own, a simulated line
// plugged in under a name, and checks for the component's messages.

#include "platform/comm/Comm.h"
#include "platform/comm/SimulatedLine.h"
#include "serial/BCPort.h"
#include "tests/support/EventLoop.h"
#include "tests/support/SerialPty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

// The component's message number n.
inline std::string ComMessage(int n) {
    return ComErrorMessages[n - 1];
}

#define EXPECT_COM_ERROR(statement, number)                                                        \
    EXPECT_THAT([&] { statement; }, ::testing::ThrowsMessage<EComPort>(                            \
                                        ::testing::StrEq(::testsupport::ComMessage(number))))

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

// The comm calls over the system's own devices on Windows: where names are opened, the
// system's error codes as they stand, and overlapped writes that the system ends at once, later,
// or not at all before the handle is closed. No serial port is opened: a name that does not
// exist, the null device and a named pipe stand in.
#include "platform/comm/Comm.h"
#include "tests/platform/WindowsPipe.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>

using namespace comm;
using testsupport::WindowsPipe;

namespace {

HANDLE Open(const std::string& name) {
    return CreateFileA(DevicePath(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, 0);
}

// A write of the bytes on a block of its own, and its end.
struct Write {
    explicit Write(HANDLE device, const std::string& bytes) {
        overlapped.hEvent = CreateEventA(nullptr, true, true, nullptr);
        started = WriteFile(device, bytes.data(), DWORD(bytes.size()), &written, &overlapped);
        startError = GetLastError();
    }
    ~Write() { CloseHandle(overlapped.hEvent); }
    // The transferred count, or the error code the operation ended with.
    DWORD CountOrError(HANDLE device) {
        DWORD transferred = 0;
        return GetOverlappedResult(device, &overlapped, &transferred, true) ? transferred
                                                                            : GetLastError();
    }

    OVERLAPPED overlapped;
    DWORD written = 0;
    bool started;
    DWORD startError;
};

TEST(WindowsCommTest, NamesAreOpenedUnderTheDevicePrefix) {
    EXPECT_EQ(DeviceDirectory(), "\\\\.\\");
    EXPECT_EQ(DevicePath("COM9"), "\\\\.\\COM9");
    EXPECT_EQ(DevicePath(""), "\\\\.\\");
}

TEST(WindowsCommTest, APortThatDoesNotExistIsErrorTwo) {
    EXPECT_EQ(Open("COM250"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(WindowsCommTest, ADeviceThatIsNoPortRefusesTheCommCallsWithTheSystemsCode) {
    const HANDLE device = Open("NUL");
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_FALSE(SetupComm(device, 256, 256));
    const DWORD error = GetLastError();
    EXPECT_NE(error, ERROR_SUCCESS);
    EXPECT_NE(error, ERROR_IO_PENDING);
    DWORD status = 0;
    EXPECT_FALSE(GetCommModemStatus(device, &status));
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);

    // Writes are the system's: the null device takes them at once, a block at a time.
    for (int i = 0; i < 2; ++i) {
        Write write(device, "fffff");
        EXPECT_TRUE(write.started || write.startError == ERROR_IO_PENDING) << write.startError;
        EXPECT_EQ(write.CountOrError(device), 5u);
    }
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_FALSE(SetupComm(device, 256, 256));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(WindowsCommTest, AWriteTheSystemEndsLaterEndsItsOperationThen) {
    WindowsPipe pipe("tavrix-comm-later");
    const HANDLE device = Open(pipe.Name());
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    const std::string bytes(1 << 20, 'f');
    Write write(device, bytes);
    ASSERT_FALSE(write.started);
    ASSERT_EQ(write.startError, ERROR_IO_PENDING);
    EXPECT_EQ(write.written, 0u);
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(device, &write.overlapped, &transferred, false));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(WaitForSingleObject(write.overlapped.hEvent, 0), WAIT_TIMEOUT);

    std::string read;
    std::thread reader([&] { read = pipe.Read(bytes.size()); });
    EXPECT_EQ(write.CountOrError(device), DWORD(bytes.size()));
    reader.join();
    EXPECT_EQ(read, bytes);
    EXPECT_TRUE(CloseHandle(device));
}

TEST(WindowsCommTest, ClosingTheHandleEndsAPendingWriteAsAborted) {
    WindowsPipe pipe("tavrix-comm-abort");
    const HANDLE device = Open(pipe.Name());
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    Write write(device, std::string(1 << 20, 'f'));
    ASSERT_EQ(write.startError, ERROR_IO_PENDING);
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_EQ(WaitForSingleObject(write.overlapped.hEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(write.CountOrError(device), ERROR_OPERATION_ABORTED);
}

} // namespace
